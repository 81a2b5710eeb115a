#include "ui/result/result_view.h"

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QStackedWidget>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "app/text_helpers.h"
#include "result/graph_series.h"
#include "ui/result_printer.h"

namespace korvane {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPixmap CompressedMark(const QPixmap& base) {
    QPixmap marked = base;
    QPainter painter(&marked);
    painter.setRenderHint(QPainter::Antialiasing);
    const int size = marked.width() * 9 / 16;
    const QRect corner(marked.width() - size, marked.height() - size, size, size);
    painter.setPen(QPen(QColor(0, 0, 208), 1));
    painter.setBrush(QColor(0, 0, 208));
    painter.drawEllipse(corner.adjusted(0, 0, -1, -1));
    QFont font = painter.font();
    font.setPixelSize(size - 1);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(corner, Qt::AlignCenter, QStringLiteral("c"));
    return marked;
}

}  // namespace

QIcon ReportRowIcon(bool folder, bool compressed) {
    QStyle* style = QApplication::style();
    if (folder)
        return style->standardIcon(QStyle::SP_DirIcon);
    const QIcon file = style->standardIcon(QStyle::SP_FileIcon);
    if (!compressed)
        return file;
    QIcon marked;
    for (int size : {16, 32})
        marked.addPixmap(CompressedMark(file.pixmap(size, size)));
    return marked;
}

ReportModel::ReportModel(FolderTree& folders, QObject* parent)
    : QAbstractTableModel(parent),
      folders_(folders),
      folder_icon_(ReportRowIcon(true, false)),
      file_icon_(ReportRowIcon(false, false)),
      compressed_icon_(ReportRowIcon(false, true)) {}

void ReportModel::BeginFill() {
    beginResetModel();
}

void ReportModel::EndFill() {
    described_ = true;
    endResetModel();
}

void ReportModel::Clear() {
    beginResetModel();
    rows_.Clear();
    endResetModel();
}

void ReportModel::RowsMoved() {
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.ItemCount();
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return described_ ? static_cast<int>(rows_.columns().size()) : 1;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.ItemCount() ||
        index.column() >= static_cast<int>(rows_.columns().size())) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return Text(rows_.CellText(index.row(), index.column(), folders_));
        case Qt::DecorationRole:
            if (index.column() != 0)
                return {};
            if (rows_.FolderId(index.row()) != 0)
                return folder_icon_;
            return rows_.Compressed(index.row()) ? compressed_icon_ : file_icon_;
        case Qt::ToolTipRole:
            if (index.column() == 0 && rows_.Compressed(index.row()))
                return QStringLiteral("Compressed");
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (!described_) {
        if (role == Qt::DisplayRole)
            return QString::fromLatin1(kNoQuerySelected);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    }
    if (section < 0 || section >= static_cast<int>(rows_.columns().size()))
        return {};
    if (role == Qt::DisplayRole)
        return Text(rows_.columns()[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && rename_)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ReportModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !rename_)
        return false;
    return rename_(index.row(), value.toString().toStdString());
}

CResultView::CResultView(ResultWindowDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
    setObjectName(QStringLiteral("CResultView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);

    report_ = new QTableView(stack_);
    report_->setObjectName(QStringLiteral("Report"));
    report_->setAccessibleName(QStringLiteral("Results"));
    model_ = new ReportModel(document_.Folders(), report_);
    report_->setModel(model_);
    report_->setSelectionBehavior(QAbstractItemView::SelectRows);
    report_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    report_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    report_->setShowGrid(false);
    report_->setWordWrap(false);
    report_->setAlternatingRowColors(false);
    report_->setTextElideMode(Qt::ElideRight);
    report_->setContextMenuPolicy(Qt::CustomContextMenu);
    report_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A million rows cost nothing in a header that keeps no size per row.
    QHeaderView* rows = report_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(report_->fontMetrics().height() + 4);
    QHeaderView* header = report_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    stack_->addWidget(report_);

    connect(header, &QHeaderView::sectionClicked, this, &CResultView::SortByColumn);
    connect(report_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) {
        const QModelIndexList selected = report_->selectionModel()->selectedRows();
        int first = -1;
        for (const QModelIndex& index : selected)
            first = first < 0 ? index.row() : std::min(first, index.row());
        if (first >= 0)
            OpenRow(first);
    });
    CreateCommands();
    connect(report_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& where) { context_menu_->popup(report_->viewport()->mapToGlobal(where)); });
}

CResultView::~CResultView() = default;

void CResultView::CreateCommands() {
    auto add = [this](int id, const char* text, const QKeySequence& keys = {}) {
        auto* action = new QAction(QString::fromUtf8(text), this);
        action->setData(id);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        commands_[id] = action;
        return action;
    };
    QStyle* style = QApplication::style();
    // The file commands are connected and enabled by the file actions.
    add(kResultCut, "Cu&t\tCtrl+X")->setIcon(style->standardIcon(QStyle::SP_DialogDiscardButton));
    add(kResultCopy, "&Copy\tCtrl+C")->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    add(kResultPaste, "&Paste\tCtrl+V")->setIcon(QIcon::fromTheme(QStringLiteral("edit-paste")));
    add(kResultPasteShortcut, "Paste &Shortcut");
    QAction* up = add(kResultUpOneLevel, "&Up One Level");
    up->setStatusTip(QStringLiteral("Moves folder up one level."));
    up->setToolTip(QStringLiteral("Up one level"));
    up->setIcon(style->standardIcon(QStyle::SP_FileDialogToParent));
    connect(up, &QAction::triggered, this, &CResultView::UpOneLevel);
    add(kResultCompress, "&Compress");
    add(kResultUncompress, "U&ncompress");
    add(kResultSetFileTime, "Set File &Time...")
        ->setIcon(QIcon::fromTheme(QStringLiteral("x-office-calendar")));
    add(kResultSetFileOwner, "Set File &Owner...")->setIcon(QIcon::fromTheme(QStringLiteral("system-users")));
    add(kResultLink, "&Link...");
    add(kResultDelete, "&Delete")->setIcon(style->standardIcon(QStyle::SP_TrashIcon));
    connect(add(kResultRename, "&Rename"), &QAction::triggered, this, &CResultView::StartRename);
    add(kResultNewFolder, "&New Folder");
    add(kResultLaunchExplorer, "&Launch Explorer");
    for (int id : std::initializer_list<int>{kResultCut, kResultCopy, kResultPaste, kResultPasteShortcut,
                                             kResultCompress, kResultUncompress, kResultSetFileTime,
                                             kResultSetFileOwner, kResultLink, kResultDelete, kResultRename,
                                             kResultNewFolder, kResultLaunchExplorer}) {
        commands_[id]->setEnabled(false);
    }
    QAction* select_all = add(kResultSelectAll, "Select A&ll\tCtrl+A", QKeySequence::SelectAll);
    connect(select_all, &QAction::triggered, this, &CResultView::SelectAll);

    context_menu_ = new QMenu(this);
    context_menu_->setAccessibleName(QStringLiteral("Result commands"));
    for (int id : std::initializer_list<int>{
             kResultCut, kResultCopy, kResultPaste, kResultPasteShortcut, 0, kResultUpOneLevel, 0,
             kResultCompress, kResultUncompress, kResultSetFileTime, kResultSetFileOwner, kResultLink, 0,
             kResultDelete, kResultRename, kResultNewFolder, 0, kResultLaunchExplorer}) {
        if (id == 0) {
            context_menu_->addSeparator();
        } else {
            context_menu_->addAction(commands_[id]);
        }
    }
}

QAction* CResultView::Command(int id) const {
    const auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : found->second;
}

void CResultView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        QAction* remove = Command(kResultDelete);
        if (remove->isEnabled())
            remove->trigger();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CResultView::ShowStatus(int pane, const std::string& text) {
    if (status_)
        status_(pane, text);
}

void CResultView::ShowMessage(const std::string& text, MessageIcon icon) {
    document_.GetCatalogue().ui().ShowMessage(text, icon, MessageButtons::Ok);
}

bool CResultView::ShowsGraph() const {
    return graph_ != nullptr && stack_->currentWidget() == graph_->Widget();
}

void CResultView::OnUpdate(int hint) {
    if (hint == kHintAnswerChanged)
        RefreshResultView();
}

void CResultView::RefreshResultView() {
    ResultDocument& result = document_.Result();
    const ResultData& data = result.data;
    ShowStatus(1, ResultTotalsText(data));
    ShowStatus(0, ResultCountText(data));
    model_->Clear();
    if (data.row_count <= 0) {
        if (graph_)
            graph_->Clear();
        stack_->setCurrentWidget(report_);
        emit ReportFilled(0);
        return;
    }
    // A pie or bar of too many rows says so and the report is shown.
    const GraphPlan plan = PlanGraph(result, document_.GraphItems(), document_.GetCatalogue().ui());
    // The graphs take the report's place in their modes; without a graph
    // pane in this build the report stands in for them.
    if (plan != GraphPlan::Report && document_.Context().make_graph_pane) {
        if (!graph_) {
            graph_ = document_.Context().make_graph_pane(document_, stack_);
            if (graph_)
                stack_->addWidget(graph_->Widget());
        }
        if (graph_ && graph_->ShowGraph()) {
            stack_->setCurrentWidget(graph_->Widget());
            const int shown = result.display_mode;
            if ((shown == kDisplayLine || shown == kDisplayForecast) && !result.forecast_text.empty())
                ShowStatus(1, result.forecast_text);
            return;
        }
    }
    stack_->setCurrentWidget(report_);
    FillReport();
}

void CResultView::FillReport() {
    const ResultData& data = document_.Data();
    if (!document_.HasCatalogue())
        return;
    std::unique_ptr<ProgressWindow> progress = document_.GetCatalogue().ui().CreateProgressWindow();
    progress->Show();
    progress->SetTitle("Setting query...");
    progress->SetRange(0, 100);
    progress->SetPosition(0);
    bool titled = false;
    const int count = std::max(1, static_cast<int>(data.row_count));
    model_->BeginFill();
    model_->Rows().Load(data, document_.GetCatalogue(), [&](int rows_read) {
        if (!titled) {
            progress->SetTitle("Setting results...");
            titled = true;
        }
        progress->SetPosition(static_cast<int>(static_cast<long long>(rows_read) * 100 / count));
        return !progress->PollCancel();
    });
    model_->EndFill();
    progress->SetPosition(100);
    progress->Close();
    ApplyColumnWidths();
    emit ReportFilled(model_->Rows().ItemCount());
}

void CResultView::ApplyColumnWidths() {
    const QFontMetrics metrics = report_->fontMetrics();
    int widest = 0;
    for (char16_t c = 0x21; c < 0x7F; ++c)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(c)));
    const int unit = widest + metrics.averageCharWidth();
    QHeaderView* header = report_->horizontalHeader();
    const auto& columns = model_->Rows().columns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        header->setSectionResizeMode(i, QHeaderView::Interactive);
        header->resizeSection(i, std::max(16, unit * columns[i].width / 2));
    }
    const auto& descriptors = document_.Data().columns;
    header->setSortIndicatorShown(false);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const int direction = descriptors[columns[i].source].sort_direction;
        const std::string& sort_column =
            document_.Profile() != nullptr ? document_.Profile()->sort_column : std::string();
        if (direction != 0 && columns[i].name == sort_column) {
            header->setSortIndicatorShown(true);
            header->setSortIndicator(i, direction == 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        }
    }
}

void CResultView::SortByColumn(int column) {
    const auto& columns = model_->Rows().columns();
    if (sorting_ || !model_->Described() || column < 0 || column >= static_cast<int>(columns.size()))
        return;
    sorting_ = true;
    document_.SetModifiedFlag(true);
    ColumnDescriptor& descriptor = document_.Data().columns[columns[column].source];
    descriptor.sort_direction = descriptor.sort_direction == 1 ? 2 : 1;
    const bool descending = descriptor.sort_direction == 2;
    if (columns[column].parent_id) {
        // The catalogue cannot order by a path it does not hold: the report sorts itself.
        model_->Rows().SortByText(column, descending, document_.Folders());
        model_->RowsMoved();
        QHeaderView* header = report_->horizontalHeader();
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    } else if (QueryProfile* profile = document_.Profile()) {
        profile->sort_column = columns[column].name;
        profile->sort_direction = descending ? "DESC" : "";
        document_.Rerun();
    }
    sorting_ = false;
}

void CResultView::OpenRow(int position) {
    const ReportRows& rows = model_->Rows();
    if (position < 0 || position >= rows.ItemCount())
        return;
    if (const std::int32_t folder_id = rows.FolderId(position); folder_id != 0) {
        document_.DrillDown(folder_id);
        return;
    }
    const auto& columns = rows.columns();
    std::string folder = document_.Data().path;
    std::string name;
    const int label = ReportLabelColumn(document_.Data());
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        if (columns[i].parent_id)
            folder = rows.CellText(position, i, document_.Folders());
        if (columns[i].source == label)
            rows.Value(position, i).AsText(name);
    }
    const FileToOpen file = FileToOpenOf(folder, name);
    if (file.ftp) {
        ShowMessage("This action not supported for FTP.", MessageIcon::Stop);
        return;
    }
    struct stat info {};
    if (::stat(file.path.c_str(), &info) != 0) {
        ShowMessage(std::strerror(errno), MessageIcon::Information);
        return;
    }
    // The program opened starts in the file's folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QFile::decodeName(file.folder.c_str()));
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(file.path.c_str())));
    QDir::setCurrent(previous);
    if (!opened)
        ShowMessage("No application is associated with this file.", MessageIcon::Information);
}

void CResultView::UpOneLevel() {
    document_.UpOneLevel();
}

void CResultView::SelectAll() {
    report_->clearSelection();
    report_->selectAll();
}

bool CResultView::StartRename() {
    const QModelIndex current = report_->currentIndex();
    if (!current.isValid())
        return false;
    const QModelIndex label = model_->index(current.row(), 0);
    if (!(model_->flags(label) & Qt::ItemIsEditable))
        return false;
    report_->edit(label);
    return true;
}

std::vector<int> CResultView::SelectedResultRows() const {
    std::vector<int> positions;
    for (const QModelIndex& index : report_->selectionModel()->selectedRows())
        positions.push_back(index.row());
    std::sort(positions.begin(), positions.end());
    std::vector<int> rows;
    rows.reserve(positions.size());
    for (int position : positions)
        rows.push_back(model_->Rows().ResultRow(position));
    return rows;
}

bool CResultView::PrintDirectly(QPrinter& printer) {
    print_error_.clear();
    if (!document_.HasCatalogue()) {
        print_error_ = "No catalogue is open.";
        return false;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty()) {
        print_error_ = "No file to print to.";
        return false;
    }
    ChartPainter chart;
    if (ShowsGraph()) {
        chart = [this](QPainter& painter, const QRect& body) { graph_->Paint(painter, body); };
    }
    ResultDocument& result = document_.Result();
    // A graph that is not on the screen prints as the report.
    const int mode = result.display_mode;
    if (!ShowsGraph())
        result.display_mode = kDisplayReport;
    const bool printed = PrintResultDocument(result, printer, document_.GetCatalogue(), document_.Folders(),
                                             print_error_, chart);
    result.display_mode = mode;
    return printed;
}

}  // namespace korvane
