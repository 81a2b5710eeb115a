// The result window: the folder tree of the result beside its report (or
// graph), a status bar whose first pane starts with "Nothing selected.",
// and the window's own commands (Export, Up One Level, Select All and the
// display modes).
#pragma once

#include <QMenuBar>
#include <string>

#include "ui/document_frame.h"
#include "ui/result/drive_view.h"
#include "ui/result/result_document.h"
#include "ui/result/result_view.h"

namespace korvane {

class ResultActionsBinding;

inline constexpr const char* kNothingSelected = "Nothing selected.";

class CResultFrame : public DocumentFrame {
    Q_OBJECT
  public:
    // Shows the folder tree, which runs the result for its current folder.
    CResultFrame(ResultWindowDocument& document, QWidget* parent = nullptr);

    ResultWindowDocument& Document() { return document_; }
    CDriveView* DriveView() const { return drive_; }
    CResultView* ResultView() const { return report_; }
    // The file actions' Cut, Copy, Paste and Delete; none without file actions.
    QAction* EditCommand(int id) const override;

    // "&Export...": the save dialog, then ExportTo.
    void OnExport();
    // Writes the result's rows as CSV with a progress window. False when
    // nothing was written (the person has been told why where it matters).
    bool ExportTo(const std::string& path);

  private:
    void CreateMenus();

    ResultWindowDocument& document_;
    CDriveView* drive_ = nullptr;
    CResultView* report_ = nullptr;
    ResultActionsBinding* actions_ = nullptr;
};

}  // namespace korvane
