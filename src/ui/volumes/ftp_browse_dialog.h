// The FTP Browse dialog: the folders of an FTP site as a tree, listed from
// the site one folder at a time as the person opens them, the selected
// folder's path under the tree, OK and Cancel. The connection and the
// listing rules are FtpBrowser's; the dialog mirrors its items.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "app/user_interface.h"
#include "scan/ftp/ftp_browse.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvane {

class FtpBrowseDialog : public QDialog {
    Q_OBJECT
  public:
    FtpBrowseDialog(UserInterface& ui, const FtpSite& site, FtpTimeouts timeouts = {},
                    QWidget* parent = nullptr);
    ~FtpBrowseDialog() override;

    // Logs in and shows the site's top folder; false (the reason shown) when
    // the site could not be reached: the dialog then ends as cancelled.
    bool Connect();
    // The path OK returns ("/" for the site itself).
    std::string SelectedPath() const { return browser_.SelectedPath(); }

    QTreeWidget* Tree() const { return tree_; }
    QLabel* PathLine() const { return path_line_; }
    QTreeWidgetItem* WidgetOf(int item) const;

  private:
    void Fill(QTreeWidgetItem* widget, int item);
    void OnExpanded(QTreeWidgetItem* widget);
    void OnCollapsed(QTreeWidgetItem* widget);
    void OnSelection();
    static int IdOf(const QTreeWidgetItem* widget);

    FtpBrowser browser_;
    QTreeWidget* tree_ = nullptr;
    QLabel* path_line_ = nullptr;
    bool syncing_ = false;
};

// Opens the dialog for the site; the selected folder, or none when the site
// could not be reached or the person cancelled.
std::optional<std::string> BrowseFtpSite(UserInterface& ui, const FtpSite& site, QWidget* parent,
                                         FtpTimeouts timeouts = {});

}  // namespace korvane
