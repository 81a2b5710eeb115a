// The right-hand pane of a result window: the report of the result's rows
// (a table over a model of compact row arrays, never a widget item per
// row) or, in a graph mode, the graph pane in its place. Sorting by a column,
// opening a file or stepping into a folder with a double click, "&Up One
// Level", "Select A&ll", starting an in-place rename, the context menu with
// the file commands, and the printing of the report.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTableView>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "result/report_rows.h"
#include "ui/document_frame.h"
#include "ui/result/result_document.h"

class QMenu;
class QStackedWidget;

namespace korvane {

inline constexpr const char* kNoQuerySelected = "No query selected...";

// Command identifiers of the result window.
enum ResultCommandId : int {
    kResultUpOneLevel = 1042,
    kResultExport = 9040,
    kResultSelectAll = 9041,
    kResultCut = 57635,
    kResultCopy = 57634,
    kResultPaste = 57637,
    kResultPasteShortcut = 9012,
    kResultCompress = 9010,
    kResultUncompress = 9011,
    kResultSetFileTime = 9020,
    kResultSetFileOwner = 9021,
    kResultLink = 9013,
    kResultDelete = 9014,
    kResultRename = 9015,
    kResultNewFolder = 9016,
    kResultLaunchExplorer = 9017,
    kResultReport = 9030,
    kResultPieGraph = 9031,
    kResultBarGraph = 9032,
    kResultLineGraph = 9033,
    kResultForecastGraph = 9034,
};

// The report's rows for the table: the cell texts are made for the rows
// painted only.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ReportModel(FolderTree& folders, QObject* parent = nullptr);

    ReportRows& Rows() { return rows_; }
    const ReportRows& Rows() const { return rows_; }
    // Before the first refresh the report has one column, "No query selected...".
    bool Described() const { return described_; }
    void BeginFill();
    void EndFill();
    void Clear();
    // Re-announces the rows after an in-place sort.
    void RowsMoved();
    // The rename the file actions do; editing is offered only with one.
    void SetRenameHandler(std::function<bool(int position, const std::string& name)> handler) {
        rename_ = std::move(handler);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    FolderTree& folders_;
    ReportRows rows_;
    bool described_ = false;
    QIcon folder_icon_;
    QIcon file_icon_;
    QIcon compressed_icon_;
    std::function<bool(int, const std::string&)> rename_;
};

class CResultView : public QWidget, public DocumentView {
    Q_OBJECT
  public:
    CResultView(ResultWindowDocument& document, QWidget* parent = nullptr);
    ~CResultView() override;

    QWidget* Widget() override { return this; }
    void OnUpdate(int hint) override;
    bool CanPrint() const override { return true; }
    // The report (or, in a graph mode with a graph shown, the chart) on the
    // printer as it is set up. False when nothing was printed; PrintError says why.
    bool PrintDirectly(QPrinter& printer) override;
    std::string PrintError() const override { return print_error_; }

    // The report's refresh after the result ran or its mode changed: the two
    // status texts, then the report or the graph.
    void RefreshResultView();
    // Where the status texts go (the frame's two panes).
    void SetStatusSink(std::function<void(int pane, const std::string& text)> sink) {
        status_ = std::move(sink);
    }

    QTableView* Report() const { return report_; }
    ReportModel* Model() const { return model_; }
    // The graph pane when one was made (the first graph mode shown).
    ResultGraphPane* GraphPane() const { return graph_.get(); }
    bool ShowsGraph() const;

    // Column header click: the sort of the column (by the catalogue, or in
    // place for Path).
    void SortByColumn(int column);
    // Double click on a row position: drill down or open the file.
    void OpenRow(int position);
    void UpOneLevel();
    void SelectAll();
    // Starts editing the selected row's label when a rename handler is set.
    bool StartRename();

    // The selected rows as positions in the result's answer (the row numbers
    // the file actions read back), in display order.
    std::vector<int> SelectedResultRows() const;
    // The command with that identifier (the ResultCommandId values), for the
    // menus and for the file actions to connect and enable.
    QAction* Command(int id) const;
    // The context menu as shown at the pointer; the file actions may add
    // their own items to it.
    QMenu* ContextMenu() const { return context_menu_; }

  signals:
    // Emitted after every fill (tests and the benchmark wait on it).
    void ReportFilled(int items);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateCommands();
    void FillReport();
    void ShowStatus(int pane, const std::string& text);
    void ShowMessage(const std::string& text, MessageIcon icon);
    void ApplyColumnWidths();

    ResultWindowDocument& document_;
    QStackedWidget* stack_ = nullptr;
    QTableView* report_ = nullptr;
    ReportModel* model_ = nullptr;
    std::unique_ptr<ResultGraphPane> graph_;
    QMenu* context_menu_ = nullptr;
    std::map<int, QAction*> commands_;
    std::function<void(int, const std::string&)> status_;
    std::string print_error_;
    bool sorting_ = false;
};

// The picture of a report row: folder, file, and a file with the
// compressed mark.
QIcon ReportRowIcon(bool folder, bool compressed);

}  // namespace korvane
