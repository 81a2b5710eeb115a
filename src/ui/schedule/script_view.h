// The script list of a schedule window: one row per script line, the command
// word with its icon and the parameter text. Commands dropped on it become
// new lines; its lines dragged onto the command list are taken out. Both
// are refused while the schedule is Active.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include "ui/document_frame.h"
#include "ui/schedule/list_drag.h"
#include "ui/schedule/schedule_document_window.h"

namespace korvane {

class ScriptTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ScriptTableModel(ScheduleWindowDocument& document, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The parameter text typed into a line whose words are typed directly.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Each refuses, with the message, while the schedule is Active.
    bool AppendCommand(const std::string& word);
    bool RemoveLine(int row);
    bool SetParameters(int row, const std::string& parameters);
    // After the document changed underneath (opened, saved, status).
    void Reload();

  private:
    bool Refused();
    ScheduleWindowDocument& document_;
};

class CScriptView : public QTreeView, public DocumentView {
    Q_OBJECT
  public:
    CScriptView(ScheduleWindowDocument& document, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int hint) override;
    // Prints the start, the interval and the script lines as text.
    bool CanPrint() const override { return true; }
    bool PrintDirectly(QPrinter& printer) override;
    ScriptTableModel& Model() { return model_; }

    // Adds the command as the last line and selects it.
    bool AppendCommand(const QString& word);

  signals:
    // A line was dragged and let go at the global point.
    void LineDragged(int row, QPoint global);
    // A double-click, or Enter, on a line: edit its parameters.
    void LineChosen(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Enter edits the line; Delete takes it out, as dragging it away does.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ScheduleWindowDocument& document_;
    ScriptTableModel model_;
    ListDrag drag_{*this};
};

}  // namespace korvane
