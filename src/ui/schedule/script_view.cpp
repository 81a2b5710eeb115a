#include "ui/schedule/script_view.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPrinter>
#include <QTextDocument>

#include "app/text_helpers.h"
#include "schedule/schedule_commands.h"
#include "ui/schedule/command_icons.h"

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

}  // namespace

ScriptTableModel::ScriptTableModel(ScheduleWindowDocument& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document) {}

int ScriptTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(document_.Schedule().Content().rows.size());
}

int ScriptTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant ScriptTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ScriptRow& row = document_.Schedule().Content().rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return Text(index.column() == 0 ? row.command : row.parameters);
        case Qt::DecorationRole:
            return index.column() == 0 ? QVariant(ScheduleCommandIcon(row.icon)) : QVariant();
        default:
            return {};
    }
}

QVariant ScriptTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Command") : QStringLiteral("Parameters");
}

Qt::ItemFlags ScriptTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const ScriptRow& row = document_.Schedule().Content().rows[static_cast<std::size_t>(index.row())];
    // Only the volume list of a Scan line is typed in place.
    if (index.column() == 1 && EqualsNoCase(row.command, "Scan"))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ScriptTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 1 || role != Qt::EditRole)
        return false;
    return SetParameters(index.row(), value.toString().toStdString());
}

bool ScriptTableModel::Refused() {
    return !document_.Schedule().EditAllowed();
}

bool ScriptTableModel::AppendCommand(const std::string& word) {
    if (FindEnabledCommand(word) < 0 || Refused())
        return false;
    const int row = rowCount();
    beginInsertRows({}, row, row);
    const bool appended = document_.Schedule().AppendRow(word);
    endInsertRows();
    document_.EditDone(ScheduleWindowDocument::kHintLineEdited);
    return appended;
}

bool ScriptTableModel::RemoveLine(int row) {
    if (row < 0 || row >= rowCount() || Refused())
        return false;
    beginRemoveRows({}, row, row);
    const bool removed = document_.Schedule().RemoveRow(static_cast<std::size_t>(row));
    endRemoveRows();
    document_.EditDone(ScheduleWindowDocument::kHintLineEdited);
    return removed;
}

bool ScriptTableModel::SetParameters(int row, const std::string& parameters) {
    if (row < 0 || row >= rowCount() || Refused())
        return false;
    if (!document_.Schedule().SetRowParameters(static_cast<std::size_t>(row), parameters))
        return false;
    emit dataChanged(index(row, 0), index(row, 1));
    document_.EditDone(ScheduleWindowDocument::kHintLineEdited);
    return true;
}

void ScriptTableModel::Reload() {
    beginResetModel();
    endResetModel();
}

CScriptView::CScriptView(ScheduleWindowDocument& document, QWidget* parent)
    : QTreeView(parent), document_(document), model_(document) {
    setObjectName(QStringLiteral("CScriptView"));
    setAccessibleName(QStringLiteral("Script"));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit LineChosen(index.row()); });
    setColumnWidth(0, 110);
}

void CScriptView::OnUpdate(int hint) {
    if (hint == 0 || (hint & ScheduleWindowDocument::kHintRows))
        model_.Reload();
}

void CScriptView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    drag_.Press(*event);
}

void CScriptView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_.Dragging())
        return;
    if (drag_.StartsWith(*event)) {
        // An Active script refuses the drag as it begins.
        if (!document_.Schedule().EditAllowed())
            drag_.Cancel();
        return;
    }
    QTreeView::mouseMoveEvent(event);
}

void CScriptView::mouseReleaseEvent(QMouseEvent* event) {
    const std::optional<int> row = drag_.Release();
    QTreeView::mouseReleaseEvent(event);
    if (row)
        emit LineDragged(*row, event->globalPosition().toPoint());
}

void CScriptView::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().row();
    if (row >= 0 && state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            emit LineChosen(row);
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            model_.RemoveLine(row);
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

bool CScriptView::PrintDirectly(QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty())
        return false;
    const CScheduleDoc& schedule = document_.Schedule();
    std::string text = document_.Title() + "\n" + schedule.StatusBarText() + "\n\n";
    for (const ScriptRow& row : schedule.Content().rows)
        text += ScriptLineOf(row) + "\n";
    QTextDocument page;
    page.setDefaultFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    page.setPlainText(Text(text));
    page.print(&printer);
    return printer.printerState() != QPrinter::Error && printer.printerState() != QPrinter::Aborted;
}

bool CScriptView::AppendCommand(const QString& word) {
    if (!model_.AppendCommand(word.toStdString()))
        return false;
    const QModelIndex added = model_.index(model_.rowCount() - 1, 0);
    setCurrentIndex(added);
    scrollTo(added);
    return true;
}

}  // namespace korvane
