#include "ui/schedule/command_view.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "schedule/schedule_commands.h"
#include "ui/schedule/command_icons.h"

namespace korvane {

CommandListModel::CommandListModel(QObject* parent) : QAbstractListModel(parent) {
    for (std::size_t i = 0; i < kScheduleCommands.size(); ++i) {
        if (kScheduleCommands[i].enabled)
            table_rows_.push_back(static_cast<int>(i));
    }
}

int CommandListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_rows_.size());
}

QVariant CommandListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int table = TableIndex(index.row());
    const std::string_view word = kScheduleCommands[static_cast<std::size_t>(table)].word;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromLatin1(word.data(), static_cast<int>(word.size()));
        case Qt::DecorationRole:
            return ScheduleCommandIcon(table);
        case Qt::ToolTipRole:
            return QStringLiteral("Drag into the script to add a %1 line")
                .arg(QString::fromLatin1(word.data(), static_cast<int>(word.size())));
        default:
            return {};
    }
}

Qt::ItemFlags CommandListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

CCommandView::CCommandView(QWidget* parent) : QListView(parent) {
    setObjectName(QStringLiteral("CCommandView"));
    setAccessibleName(QStringLiteral("Commands"));
    setModel(&model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(24, 24));
    setSpacing(2);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit CommandChosen(index.data().toString()); });
}

void CCommandView::mousePressEvent(QMouseEvent* event) {
    QListView::mousePressEvent(event);
    drag_.Press(*event);
}

void CCommandView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_.Dragging() || drag_.StartsWith(*event))
        return;
    QListView::mouseMoveEvent(event);
}

void CCommandView::mouseReleaseEvent(QMouseEvent* event) {
    const std::optional<int> row = drag_.Release();
    QListView::mouseReleaseEvent(event);
    if (row)
        emit CommandDragged(model_.index(*row, 0).data().toString(), event->globalPosition().toPoint());
}

void CCommandView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex index = currentIndex();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && index.isValid()) {
        emit CommandChosen(index.data().toString());
        return;
    }
    QListView::keyPressEvent(event);
}

}  // namespace korvane
