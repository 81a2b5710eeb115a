// The command list of a schedule window: the enabled script commands with
// their icons. A command dragged from it onto the script list becomes a new
// line; a script line dropped on it is taken out of the script.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <vector>

#include "ui/document_frame.h"
#include "ui/schedule/list_drag.h"

namespace korvane {

class CommandListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit CommandListModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Index of the row's command in the command table (and its icon).
    int TableIndex(int row) const { return table_rows_[static_cast<std::size_t>(row)]; }

  private:
    std::vector<int> table_rows_;
};

class CCommandView : public QListView, public DocumentView {
    Q_OBJECT
  public:
    explicit CCommandView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int) override {}

  signals:
    // A command was dragged and let go at the global point.
    void CommandDragged(const QString& word, QPoint global);
    // Enter or a double-click on a command: for the keyboard, the same as
    // dragging it into the script.
    void CommandChosen(const QString& word);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    CommandListModel model_;
    ListDrag drag_{*this};
};

}  // namespace korvane
