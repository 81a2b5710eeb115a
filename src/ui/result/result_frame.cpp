#include "ui/result/result_frame.h"

#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "result/export_csv.h"
#include "ui/result/result_actions_binding.h"
#include "ui/result/result_graph_binding.h"

namespace korvane {
namespace {

struct ModeCommand {
    int id;
    int mode;
    const char* text;
    const char* prompt;
};

constexpr ModeCommand kModeCommands[] = {
    {kResultReport, kDisplayReport, "&Report", "Display results in report form."},
    {kResultPieGraph, kDisplayPie, "&Pie Graph", "Display results in pie graph form."},
    {kResultBarGraph, kDisplayBar, "&Bar Graph", "Display results in bar graph form."},
    {kResultLineGraph, kDisplayLine, "&Line Graph", "Display results in line graph form."},
    {kResultForecastGraph, kDisplayForecast, "&Forecast Graph",
     "Display results in cumulative line graph form."},
};

}  // namespace

CResultFrame::CResultFrame(ResultWindowDocument& document, QWidget* parent)
    : DocumentFrame(document, parent), document_(document) {
    drive_ = new CDriveView(document, this);
    report_ = new CResultView(document, this);
    AddView(drive_);
    AddView(report_);
    MakeSplitter(drive_, report_, 150);
    MakeStatusPanes({150, 0});
    StatusPane(0)->setText(kNothingSelected);
    StatusPane(0)->setAccessibleName(QStringLiteral("Objects"));
    StatusPane(1)->setAccessibleName(QStringLiteral("Totals"));
    auto sink = [this](int pane, const std::string& text) {
        if (QLabel* label = StatusPane(pane))
            label->setText(QString::fromStdString(text));
    };
    drive_->SetStatusSink(sink);
    report_->SetStatusSink(sink);
    connect(&document_, &ResultWindowDocument::ActivateRequested, this, [this] {
        for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
            if (auto* window = qobject_cast<QMdiSubWindow*>(up)) {
                if (window->mdiArea() != nullptr && window->mdiArea()->activeSubWindow() != window)
                    window->mdiArea()->setActiveSubWindow(window);
                break;
            }
        }
    });
    CreateMenus();
    AddGraphOptionsCommand(*this);
    actions_ = ResultActionsBinding::Attach(*this);
    drive_->Rebuild();
}

void CResultFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    QMenu* file = bar->addMenu(QStringLiteral("&Result"));
    QAction* exporting = file->addAction(QStringLiteral("&Export..."));
    exporting->setData(kResultExport);
    exporting->setStatusTip(QStringLiteral("Export the results to a comma delimited file."));
    connect(exporting, &QAction::triggered, this, &CResultFrame::OnExport);
    file->addSeparator();
    file->addAction(report_->Command(kResultUpOneLevel));
    file->addAction(report_->Command(kResultSelectAll));

    QMenu* view = bar->addMenu(QStringLiteral("&Display"));
    auto* modes = new QActionGroup(this);
    for (const ModeCommand& command : kModeCommands) {
        QAction* action = view->addAction(QString::fromLatin1(command.text));
        action->setData(command.id);
        action->setStatusTip(QString::fromLatin1(command.prompt));
        action->setCheckable(true);
        modes->addAction(action);
        const int mode = command.mode;
        connect(action, &QAction::triggered, this, [this, mode] { document_.SetDisplayMode(mode); });
    }
    connect(view, &QMenu::aboutToShow, this, [this, modes] {
        for (QAction* action : modes->actions()) {
            for (const ModeCommand& command : kModeCommands) {
                if (command.id == action->data().toInt())
                    action->setChecked(command.mode == document_.DisplayMode());
            }
        }
    });
}

QAction* CResultFrame::EditCommand(int id) const {
    if (actions_ == nullptr)
        return nullptr;
    switch (id) {
        case kResultCut:
            return actions_->Actions().Action(ResultCommand::kCut);
        case kResultCopy:
            return actions_->Actions().Action(ResultCommand::kCopy);
        case kResultPaste:
            return actions_->Actions().Action(ResultCommand::kPaste);
        case kResultDelete:
            return actions_->Actions().Action(ResultCommand::kDelete);
        default:
            return nullptr;
    }
}

void CResultFrame::OnExport() {
    QFileDialog dialog(this, QStringLiteral("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Comma Delimited File (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(QString::fromStdString(document_.Data().result_name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ExportTo(QFile::encodeName(dialog.selectedFiles().front()).toStdString());
}

bool CResultFrame::ExportTo(const std::string& path) {
    if (!document_.HasCatalogue())
        return false;
    std::unique_ptr<ProgressWindow> progress = document_.GetCatalogue().ui().CreateProgressWindow();
    return ExportCsv(document_.Data(), path, document_.GetCatalogue(), document_.Folders(), progress.get());
}

}  // namespace korvane
