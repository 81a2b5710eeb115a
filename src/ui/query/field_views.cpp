#include "ui/query/field_views.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "app/text_helpers.h"
#include "query/query_editing.h"
#include "ui/query/query_images.h"

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

}  // namespace

QueryFieldModel::QueryFieldModel(CQueryDoc& document, bool in_query, QObject* parent)
    : QAbstractTableModel(parent), document_(document), in_query_(in_query) {
    Refresh();
}

void QueryFieldModel::Refresh() {
    beginResetModel();
    rows_ = in_query_ ? CriteriaListRows(document_.Profile()) : FieldListRows(document_.Profile());
    endResetModel();
}

int QueryFieldModel::RowOfIndex(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return -1;
    return rows_[index.row()];
}

int QueryFieldModel::PositionOfRow(int row) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i] == row)
            return static_cast<int>(i);
    }
    return -1;
}

int QueryFieldModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QueryFieldModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (in_query_ ? 2 : 1);
}

QVariant QueryFieldModel::data(const QModelIndex& index, int role) const {
    const int row = RowOfIndex(index);
    if (row < 0)
        return {};
    const QueryField& field = document_.Profile().fields[row];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case Qt::ToolTipRole:
            return index.column() == 0 ? Text(FieldTitle(field)) : Text(field.value_text);
        case Qt::DecorationRole:
            if (index.column() != 0)
                return {};
            // In the field list the overlay marks a field that brings its
            // kept criterion back when it is added again.
            if (!in_query_ && !field.value_text.empty())
                return QueryImageWithOverlay(static_cast<int>(field.table));
            return QueryImage(static_cast<int>(field.table));
        case Qt::UserRole:
            return row;
        default:
            return {};
    }
}

QVariant QueryFieldModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    if (!in_query_)
        return QStringLiteral("Field");
    return section == 0 ? QStringLiteral("Field") : QStringLiteral("Criteria");
}

Qt::ItemFlags QueryFieldModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

FieldDragDrop::FieldDragDrop(QAbstractItemView& view, CQueryDoc& document, bool in_query)
    : view_(view), document_(document), in_query_(in_query) {
    view_.setDragEnabled(true);
    view_.setDragDropMode(QAbstractItemView::DragOnly);
    view_.viewport()->installEventFilter(this);
}

void FieldDragDrop::StartDrag(const QModelIndex& index, int row) {
    if (row < 0 || dragging_)
        return;
    dragging_ = true;
    row_ = row;
    // The drag image: the item's picture and text, held at (8, 8).
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics metrics(view_.font());
    QPixmap picture(22 + metrics.horizontalAdvance(text), std::max(16, metrics.height()) + 2);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setOpacity(0.75);
        painter.drawPixmap(1, (picture.height() - 16) / 2, index.data(Qt::DecorationRole).value<QPixmap>());
        painter.setPen(view_.palette().color(QPalette::Text));
        painter.drawText(QRect(20, 0, picture.width() - 20, picture.height()), Qt::AlignVCenter, text);
    }
    image_ = new QLabel(view_.window());
    image_->setAttribute(Qt::WA_TransparentForMouseEvents);
    image_->setPixmap(picture);
    image_->resize(picture.size());
    MoveImage(QCursor::pos());
    image_->show();
    image_->raise();
    view_.viewport()->grabMouse();
}

void FieldDragDrop::MoveImage(const QPoint& global) {
    if (image_ != nullptr)
        image_->move(image_->parentWidget()->mapFromGlobal(global) - QPoint(8, 8));
}

bool FieldDragDrop::eventFilter(QObject* watched, QEvent* event) {
    if (!dragging_ || watched != view_.viewport())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove) {
        MoveImage(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        EndDrag(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void FieldDragDrop::EndDrag(const QPoint& global) {
    dragging_ = false;
    view_.viewport()->releaseMouse();
    delete image_;
    image_ = nullptr;
    document_.SetModifiedFlag(true);
    // The list under the pointer, when it is the other list of this query.
    for (QWidget* under = QApplication::widgetAt(global); under != nullptr; under = under->parentWidget()) {
        auto* fields = dynamic_cast<CFieldView*>(under);
        auto* criteria = dynamic_cast<CQueryView*>(under);
        if (fields == nullptr && criteria == nullptr)
            continue;
        const bool target_in_query = criteria != nullptr;
        CQueryDoc& target_document = fields != nullptr ? fields->Document() : criteria->Document();
        if (&target_document == &document_ && target_in_query != in_query_)
            document_.MoveField(row_, target_in_query);
        return;
    }
}

CFieldView::CFieldView(CQueryDoc& document, QWidget* parent)
    : QListView(parent), document_(document), model_(document, false, this), drag_(*this, document, false) {
    setModel(&model_);
    setAccessibleName(QStringLiteral("Fields"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { AddSelectedField(); });
}

void CFieldView::OnUpdate(int) {
    model_.Refresh();
}

void CFieldView::AddSelectedField() {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    document_.MoveField(model_.RowOfIndex(selected.front()), true);
}

void CFieldView::startDrag(Qt::DropActions) {
    drag_.StartDrag(currentIndex(), model_.RowOfIndex(currentIndex()));
}

CQueryView::CQueryView(CQueryDoc& document, QWidget* parent)
    : QTreeView(parent), document_(document), model_(document, true, this), drag_(*this, document, true) {
    setModel(&model_);
    setAccessibleName(QStringLiteral("Criteria"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    header()->setAccessibleName(QStringLiteral("Criteria columns"));
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 140);
    header()->resizeSection(1, 480);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] {
        const QModelIndexList selected = selectionModel()->selectedRows();
        if (!selected.isEmpty())
            EditCriterion(selected.front());
    });
}

void CQueryView::SetStatusPanes(QLabel* folder_pane, QLabel* description_pane) {
    folder_pane_ = folder_pane;
    description_pane_ = description_pane;
}

void CQueryView::OnUpdate(int) {
    if (folder_pane_ != nullptr)
        folder_pane_->setText(Text(document_.Profile().initial_folder));
    if (description_pane_ != nullptr)
        description_pane_->setText(Text(document_.Profile().description));
    model_.Refresh();
}

void CQueryView::EditCriterion(const QModelIndex& index) {
    const int row = model_.RowOfIndex(index);
    if (row < 0 || !editor_)
        return;
    std::string value_text = document_.Profile().fields[row].value_text;
    if (!editor_(this, document_.Profile().fields[row], value_text))
        return;
    document_.SetCriterion(row, value_text);
}

void CQueryView::startDrag(Qt::DropActions) {
    drag_.StartDrag(currentIndex().siblingAtColumn(0), model_.RowOfIndex(currentIndex()));
}

}  // namespace korvane
