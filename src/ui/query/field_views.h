// The two lists of a query window: the fields that can still be added
// (CFieldView) and the fields of the query with their criteria
// (CQueryView), both views over the document's profile. Fields move between
// them by double-click and by drag and drop.
#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QListView>
#include <QTreeView>
#include <vector>

#include "ui/document_frame.h"
#include "ui/query/query_document.h"

namespace korvane {

// The offered fields out of the query (one column) or in it (two columns,
// "Field" and "Criteria"), in table order; Qt::UserRole gives the row of the
// query field table. Each item shows its table's image; in the field list a
// field that keeps a criterion carries the overlay mark.
class QueryFieldModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    QueryFieldModel(CQueryDoc& document, bool in_query, QObject* parent = nullptr);

    void Refresh();
    int RowOfIndex(const QModelIndex& index) const;
    // The list position of a row of the query field table; -1 when absent.
    int PositionOfRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    CQueryDoc& document_;
    bool in_query_;
    std::vector<int> rows_;
};

// The dragging both lists share. A drag begins where the list sees one
// begin; the list then holds the mouse, a picture of the item follows the
// pointer, and where the button comes up decides: on the other list of the
// same query the field is added or removed, anywhere else no field changes.
// Either way the query counts as changed.
class FieldDragDrop : public QObject {
    Q_OBJECT
  public:
    FieldDragDrop(QAbstractItemView& view, CQueryDoc& document, bool in_query);
    void StartDrag(const QModelIndex& index, int row);
    bool Dragging() const { return dragging_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void MoveImage(const QPoint& global);
    void EndDrag(const QPoint& global);

    QAbstractItemView& view_;
    CQueryDoc& document_;
    bool in_query_;
    bool dragging_ = false;
    int row_ = -1;
    QLabel* image_ = nullptr;
};

class CFieldView : public QListView, public DocumentView {
    Q_OBJECT
  public:
    explicit CFieldView(CQueryDoc& document, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int hint) override;
    QueryFieldModel& Model() { return model_; }

    CQueryDoc& Document() { return document_; }

  protected:
    void startDrag(Qt::DropActions actions) override;

  private:
    void AddSelectedField();

    CQueryDoc& document_;
    QueryFieldModel model_;
    FieldDragDrop drag_;
};

class CQueryView : public QTreeView, public DocumentView {
    Q_OBJECT
  public:
    // Opens the criteria dialog of a field; true on OK with the new text.
    using CriteriaEditor =
        std::function<bool(QWidget* parent, const QueryField& field, std::string& value_text)>;

    explicit CQueryView(CQueryDoc& document, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int hint) override;
    QueryFieldModel& Model() { return model_; }
    // The status panes the view fills on every refresh: starting folder and description.
    void SetStatusPanes(QLabel* folder_pane, QLabel* description_pane);
    void SetCriteriaEditor(CriteriaEditor editor) { editor_ = std::move(editor); }
    // Double-click on a criterion: its dialog, and on OK the new value text.
    void EditCriterion(const QModelIndex& index);

    CQueryDoc& Document() { return document_; }

  protected:
    void startDrag(Qt::DropActions actions) override;

  private:
    CQueryDoc& document_;
    QueryFieldModel model_;
    FieldDragDrop drag_;
    QLabel* folder_pane_ = nullptr;
    QLabel* description_pane_ = nullptr;
    CriteriaEditor editor_;
};

}  // namespace korvane
