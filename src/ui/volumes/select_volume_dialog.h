// The Select Volume dialog: the machine's drives, its remembered network
// entries and the user volumes, described in five columns; adding and
// removing user volumes, connecting, disconnecting and mapping network
// drives; and OK, which in build mode rebuilds the catalogue from the
// selection under a progress window and in pick mode only returns the
// volume list text.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"
#include "platform/network_connections.h"
#include "scan/volume_selection.h"

class QAction;
class QLabel;
class QMenu;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvane {

struct ProgramState;

// What the dialog works on. The catalogue must be open; its tables are
// opened around each piece of work.
struct VolumeSelectionServices {
    Catalogue* catalogue = nullptr;
    FolderTree* tree = nullptr;
    IdCounters* counters = nullptr;
    UserInterface* ui = nullptr;
    std::string settings_path;        // Korvane.ini: Selected Drive and ScanDateTime
    std::string event_log_path;       // mount and umount failures are logged here
    VolumeProbe* probe = nullptr;     // null: the real system
    NetWareLayer* netware = nullptr;  // sizes NetWare volumes; null: a build makes its own
    NetworkPrograms programs;         // the fstab and the mount programs
};
VolumeSelectionServices ServicesOf(ProgramState& state);

enum class SelectVolumeMode { Build, Pick };
enum class VolumeView { LogicalDrives, UserVolumes, Both };

// Column indexes of the list.
enum VolumeColumn { kLetterColumn, kLocationColumn, kSizeColumn, kLabelColumn, kTypeColumn };

class SelectVolumeDialog : public QDialog {
    Q_OBJECT
  public:
    SelectVolumeDialog(VolumeSelectionServices services, SelectVolumeMode mode, QWidget* parent = nullptr);
    ~SelectVolumeDialog() override;

    // The list text OK made ("\"name\"," per selected item).
    const std::string& VolumeList() const { return volume_list_; }
    // Build mode: whether OK built the catalogue.
    bool Built() const { return built_; }
    // True from the start of a build to its end: nothing may reach the catalogue.
    bool Building() const { return building_; }

    // Empties the list and fills it for the view.
    void ShowView(VolumeView view);
    VolumeView View() const { return view_; }
    // The items in list order, as the core described them.
    const std::vector<VolumeItem>& Items() const { return items_; }

    void AddVolume();
    void RemoveVolumes();
    void ConnectDrives();
    void DisconnectDrives();
    void MapNetworkDrive();
    void accept() override;
    // Cancel; refused while a build runs.
    void reject() override;

    QTreeWidget* List() const { return list_; }
    QRadioButton* ViewButton(VolumeView view) const;
    QAction* AddVolumeAction() const { return add_action_; }
    QAction* RemoveVolumesAction() const { return remove_action_; }
    QAction* ConnectAction() const { return connect_action_; }
    QAction* DisconnectAction() const { return disconnect_action_; }
    QAction* MapAction() const { return map_action_; }
    QMenu* UserVolumesMenu() const { return user_menu_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void SetRow(int row, const VolumeItem& item);
    void AppendItem(const VolumeItem& item);
    std::vector<int> SelectedRows() const;
    VolumeItem Redescribe(const VolumeItem& item);
    std::string RememberedRootOf(const std::string& location, const ListingSnapshot& snapshot) const;
    void LogFailure(const std::string& what, const ProgramOutcome& outcome);
    void SetBusy(bool busy);

    VolumeSelectionServices services_;
    SelectVolumeMode mode_;
    VolumeView view_ = VolumeView::LogicalDrives;
    std::vector<VolumeItem> items_;
    std::string volume_list_;
    bool built_ = false;
    bool building_ = false;
    QTreeWidget* list_ = nullptr;
    QRadioButton* logical_button_ = nullptr;
    QRadioButton* user_button_ = nullptr;
    QRadioButton* both_button_ = nullptr;
    QMenu* user_menu_ = nullptr;
    QAction* add_action_ = nullptr;
    QAction* remove_action_ = nullptr;
    QAction* connect_action_ = nullptr;
    QAction* disconnect_action_ = nullptr;
    QAction* map_action_ = nullptr;
};

// The dialog in pick mode (a script's Scan volumes): the volume list text
// the person chose, or none when cancelled. Nothing is built or written.
std::optional<std::string> PickVolumeList(const VolumeSelectionServices& services, QWidget* parent);
std::optional<std::string> PickVolumeList(ProgramState& state, QWidget* parent);

// The dialog in build mode: true when the person confirmed and the
// catalogue was built from the selection (Selected Drive and ScanDateTime
// written, the folder tree reloaded).
bool SelectVolumesAndBuild(const VolumeSelectionServices& services, QWidget* parent);
bool SelectVolumesAndBuild(ProgramState& state, QWidget* parent);

}  // namespace korvane
