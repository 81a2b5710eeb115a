// The file actions in a result window: the commands of its Edit and Action
// menus, its report's context menu and the Delete key, run on the report's
// selection; afterwards the folder tree and the report follow the catalogue.
#pragma once

#include <memory>

#include "ui/actions/result_actions.h"
#include "ui/result/drive_view.h"
#include "ui/result/result_view.h"

class QMenuBar;

namespace korvane {

class ResultWindowActions : public ResultWindowAccess {
  public:
    // Connects the commands to the views; window owns the dialogs.
    ResultWindowActions(FileActionContext& context, ResultWindowDocument& document, CResultView& report,
                        CDriveView& drive, QWidget* window);
    ~ResultWindowActions() override;

    ResultActions& Actions() { return *actions_; }
    // The window's "&Edit" and "&Action" menus.
    void AddMenus(QMenuBar& bar);

    int DisplayMode() const override { return document_.DisplayMode(); }
    int RowCount() const override { return document_.Data().row_count; }
    ResultSelection Selection() const override { return report_.Selection(); }
    void RerunResult() override { document_.Rerun(); }
    void NotifyOtherViews(int hint) override;
    void BeginRename() override { report_.StartRename(); }
    void BeginRenameOf(const std::string& name) override { report_.StartRenameOf(name); }
    QImage GraphPicture() const override;

  private:
    ResultWindowDocument& document_;
    CResultView& report_;
    CDriveView& drive_;
    std::unique_ptr<ResultActions> actions_;
};

}  // namespace korvane
