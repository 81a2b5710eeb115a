#include "ui/schedule/schedule_frame.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <ctime>

#include "app/text_helpers.h"
#include "schedule/schedule_editing.h"
#include "ui/schedule/command_dialog.h"
#include "ui/schedule/command_icons.h"
#include "ui/schedule/enter_text_dialog.h"
#include "ui/schedule/printer_names.h"
#include "ui/schedule/query_select_dialog.h"
#include "ui/schedule/run_status_dialog.h"
#include "ui/schedule/schedule_time_dialog.h"

namespace korvane {
namespace {

// The whole parameter text with one enclosing pair of quotes removed.
std::string WithoutEnclosingQuotes(std::string_view text) {
    text = TrimBlanks(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

std::string TokenOr(const std::vector<std::string>& tokens, std::size_t index) {
    return index < tokens.size() ? tokens[index] : std::string();
}

}  // namespace

CScheduleFrame::CScheduleFrame(ScheduleWindowDocument& document, QWidget* parent)
    : DocumentFrame(document, parent), document_(document) {
    setObjectName(QStringLiteral("CScheduleFrame"));
    commands_ = new CCommandView(this);
    script_ = new CScriptView(document, this);
    AddView(commands_);
    AddView(script_);
    MakeSplitter(commands_, script_, 130);
    MakeStatusPanes({0});
    StatusPane(0)->setAccessibleName(QStringLiteral("Schedule time"));
    CreateCommands();

    // The two lists hand their lines to each other by dragging.
    connect(commands_, &CCommandView::CommandDragged, this, [this](const QString& word, QPoint global) {
        if (ListUnder(*script_, global))
            script_->AppendCommand(word);
    });
    connect(script_, &CScriptView::LineDragged, this, [this](int row, QPoint global) {
        if (ListUnder(*commands_, global))
            script_->Model().RemoveLine(row);
    });
    connect(commands_, &CCommandView::CommandChosen, script_, &CScriptView::AppendCommand);
    connect(script_, &CScriptView::LineChosen, this, &CScheduleFrame::EditParameters);
    connect(script_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this] { statusBar()->clearMessage(); });
    connect(&document_, &ScheduleWindowDocument::StatusChanged, this, &CScheduleFrame::RefreshStatus);
    RefreshStatus();
}

void CScheduleFrame::CreateCommands() {
    active_ = new QAction(ScheduleToolIcon(ScheduleGlyph::Active), QStringLiteral("&Active"), this);
    active_->setCheckable(true);
    active_->setStatusTip(QStringLiteral("Script active when pressed down."));
    active_->setToolTip(QStringLiteral("Set Active"));
    // The check mark follows the scheduler's answer, not the click.
    connect(active_, &QAction::triggered, this, [this] { OnActive(); });

    start_event_ =
        new QAction(ScheduleToolIcon(ScheduleGlyph::StartEvent), QStringLiteral("Start Event"), this);
    start_event_->setStatusTip(QStringLiteral("Sets start time or event."));
    start_event_->setToolTip(QStringLiteral("Start Event"));
    connect(start_event_, &QAction::triggered, this, &CScheduleFrame::OnStartEvent);

    run_status_ =
        new QAction(ScheduleToolIcon(ScheduleGlyph::RunStatus), QStringLiteral("&Run Status..."), this);
    run_status_->setStatusTip(QStringLiteral("Shows status of all running scripts."));
    run_status_->setToolTip(QStringLiteral("Run status"));
    connect(run_status_, &QAction::triggered, this, &CScheduleFrame::OnRunStatus);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Schedule"));
    menu->addAction(active_);
    menu->addAction(start_event_);
    menu->addSeparator();
    menu->addAction(run_status_);

    tool_bar_ = new QToolBar(QStringLiteral("Schedule"), this);
    tool_bar_->setObjectName(QStringLiteral("ScheduleToolBar"));
    tool_bar_->setIconSize(QSize(16, 16));
    tool_bar_->addAction(active_);
    tool_bar_->addAction(start_event_);
    tool_bar_->addSeparator();
    tool_bar_->addAction(run_status_);
    addToolBar(Qt::TopToolBarArea, tool_bar_);
}

void CScheduleFrame::RefreshStatus() {
    active_->setChecked(document_.Schedule().IsActive());
    StatusPane(0)->setText(QString::fromStdString(DisplayText(document_.Schedule().StatusBarText())));
}

void CScheduleFrame::OnActive() {
    document_.ToggleActive();
    RefreshStatus();
}

void CScheduleFrame::OnStartEvent() {
    CScheduleDoc& schedule = document_.Schedule();
    if (!schedule.EditAllowed())
        return;
    const ScheduleContent& content = schedule.Content();
    ScheduleTimeDialog dialog(ScheduleTimeFieldsOf(content.startup, content.interval, std::time(nullptr)),
                              content.startup, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    document_.SetScheduleTime(dialog.Startup(), dialog.Interval());
}

void CScheduleFrame::OnRunStatus() {
    RunStatusDialog dialog(document_.Context(), this);
    dialog.exec();
}

void CScheduleFrame::EditParameters(int row) {
    const auto& rows = document_.Schedule().Content().rows;
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    if (!document_.Schedule().EditAllowed())
        return;
    const ScriptRow line = rows[static_cast<std::size_t>(row)];
    if (EqualsNoCase(line.command, "Scan")) {
        EditScan(row);
    } else if (EqualsNoCase(line.command, "Query")) {
        EditQuery(row);
    } else if (EqualsNoCase(line.command, "Command")) {
        EditCommandLine(row, line.parameters);
    } else {
        EditFileCommand(row, line.command, line.parameters);
    }
}

void CScheduleFrame::SetParameters(int row, const std::string& parameters,
                                   std::initializer_list<std::string> texts) {
    for (const std::string& text : texts) {
        if (!FitsInParameter(text)) {
            document_.Context().ui.ShowMessage(FillTemplate(kQuoteInParameter, DisplayText(text)),
                                               MessageIcon::Exclamation, MessageButtons::Ok);
            return;
        }
    }
    script_->Model().SetParameters(row, parameters);
}

void CScheduleFrame::EditScan(int row) {
    ScheduleWindowContext& context = document_.Context();
    if (context.pick_volumes) {
        // The list text is written as the dialog makes it: the interpreter
        // joins the line's parameters back into that same list.
        if (const std::optional<std::string> volumes = context.pick_volumes(this))
            script_->Model().SetParameters(row, *volumes);
        return;
    }
    const QModelIndex cell = script_->Model().index(row, 1);
    script_->setCurrentIndex(cell);
    script_->edit(cell);
    statusBar()->showMessage(QString::fromLatin1(kScanTypedHere));
}

void CScheduleFrame::EditQuery(int row) {
    ScheduleWindowContext& context = document_.Context();
    QuerySelectDialog dialog(QuerySelectKind::Query, ListSavedQueries(context.install_folder), context.ui,
                             this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SetParameters(row, TwoQuotedParameters(dialog.Name(), dialog.Folder()), {dialog.Name(), dialog.Folder()});
}

void CScheduleFrame::EditCommandLine(int row, const std::string& parameters) {
    EnterTextDialog dialog(WithoutEnclosingQuotes(parameters), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SetParameters(row, QuotedParameter(dialog.Text()), {dialog.Text()});
}

void CScheduleFrame::EditFileCommand(int row, const std::string& word, const std::string& parameters) {
    const auto shape = CommandDialogShapeOf(word);
    if (!shape)
        return;
    const std::vector<std::string> tokens = RowParameterTokens(parameters);
    CommandDialogValues values;
    values.source = TokenOr(tokens, 0);
    if (shape->destination) {
        values.destination = TokenOr(tokens, 1);
        values.options = CommandOptionsOf(TokenOr(tokens, 2));
    }
    ScheduleWindowContext& context = document_.Context();
    CommandDialog dialog(
        word, *shape, values,
        EarlierQueryNames(document_.Schedule().Content().rows, static_cast<std::size_t>(row)), context.ui,
        this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string source = dialog.Source();
    if (shape->destination) {
        SetParameters(row, FileCommandParameters(source, dialog.Destination(), dialog.OptionText()),
                      {source, dialog.Destination()});
    } else if (EqualsNoCase(word, "Print")) {
        QPrinter printer;
        QPrintDialog print(&printer, this);
        if (print.exec() != QDialog::Accepted)
            return;
        const PrinterNames names = PrinterNamesOf(printer);
        SetParameters(row, PrintParameters(source, names.driver, names.device, names.port),
                      {source, names.driver, names.device, names.port});
    } else if (EqualsNoCase(word, "Export")) {
        QFileDialog save(this, QStringLiteral("Export"), QString(),
                         QStringLiteral("Comma Delimited File (*.csv)"));
        save.setOption(QFileDialog::DontUseNativeDialog);
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setFileMode(QFileDialog::AnyFile);
        save.setDefaultSuffix(QStringLiteral("csv"));
        if (save.exec() != QDialog::Accepted || save.selectedFiles().isEmpty())
            return;
        const std::string path = QFile::encodeName(save.selectedFiles().front()).toStdString();
        SetParameters(row, TwoQuotedParameters(source, path), {source, path});
    } else {
        SetParameters(row, QuotedParameter(source), {source});
    }
}

}  // namespace korvane
