#include "ui/volumes/select_volume_dialog.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "catalogue/user_volume_rules.h"
#include "catalogue/user_volumes.h"
#include "program/program_state.h"
#include "scan/ftp/ftp_scan.h"
#include "scan/volume_scanner.h"
#include "ui/qt_user_interface.h"
#include "ui/volumes/add_volume_dialog.h"
#include "ui/volumes/drive_icons.h"
#include "ui/volumes/map_drive_dialog.h"
#include "ui/volumes/paced_progress_window.h"

namespace korvane {
namespace {

QString Text(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

// The probe a listing reads: the services' own, or the real system's.
class ProbeHolder {
  public:
    explicit ProbeHolder(VolumeProbe* given) : probe_(given != nullptr ? *given : system_) {}
    VolumeProbe& probe() { return probe_; }

  private:
    LinuxVolumeProbe system_;
    VolumeProbe& probe_;
};

}  // namespace

VolumeSelectionServices ServicesOf(ProgramState& state) {
    VolumeSelectionServices services;
    services.catalogue = &state.catalogue;
    services.tree = &state.tree;
    services.counters = &state.counters;
    services.ui = &state.ui;
    services.settings_path = state.paths.settings_path;
    services.event_log_path = state.paths.event_log_path;
    services.netware = state.netware.get();
    return services;
}

SelectVolumeDialog::SelectVolumeDialog(VolumeSelectionServices services, SelectVolumeMode mode,
                                       QWidget* parent)
    : QDialog(parent), services_(std::move(services)), mode_(mode) {
    setObjectName(QStringLiteral("SelectVolumeDialog"));
    setWindowTitle(QStringLiteral("Select Volume"));
    setAccessibleName(QStringLiteral("Select Volume"));
    CreateControls();
    ShowView(VolumeView::LogicalDrives);
}

SelectVolumeDialog::~SelectVolumeDialog() = default;

void SelectVolumeDialog::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    auto* menu_bar = new QMenuBar(this);
    layout->setMenuBar(menu_bar);
    user_menu_ = menu_bar->addMenu(QStringLiteral("&User Volumes"));
    add_action_ =
        user_menu_->addAction(QStringLiteral("&Add Volume..."), this, &SelectVolumeDialog::AddVolume);
    remove_action_ =
        user_menu_->addAction(QStringLiteral("&Remove Volumes"), this, &SelectVolumeDialog::RemoveVolumes);
    QMenu* tools = menu_bar->addMenu(QStringLiteral("&Tools"));
    connect_action_ = tools->addAction(QStringLiteral("&Connect"), this, &SelectVolumeDialog::ConnectDrives);
    disconnect_action_ =
        tools->addAction(QStringLiteral("&Disconnect"), this, &SelectVolumeDialog::DisconnectDrives);
    map_action_ =
        tools->addAction(QStringLiteral("&Map Network Drive..."), this, &SelectVolumeDialog::MapNetworkDrive);

    list_ = new QTreeWidget(this);
    list_->setAccessibleName(QStringLiteral("Volumes"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(16, 16));
    list_->setHeaderLabels({QStringLiteral("Letter"), QStringLiteral("Location"), QStringLiteral("Size"),
                            QStringLiteral("Label"), QStringLiteral("Type")});
    list_->headerItem()->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    const int widths[] = {40, 260, 60, 80, 120};
    for (int column = 0; column < 5; ++column)
        list_->setColumnWidth(column, widths[column]);
    list_->header()->setStretchLastSection(false);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!building_)
            user_menu_->exec(list_->viewport()->mapToGlobal(at));
    });
    list_->installEventFilter(this);
    list_->setMinimumSize(580, 220);
    layout->addWidget(list_);

    auto* view_box = new QGroupBox(QStringLiteral("View mode:"), this);
    auto* view_layout = new QHBoxLayout(view_box);
    logical_button_ = new QRadioButton(QStringLiteral("&Logical drives"), view_box);
    user_button_ = new QRadioButton(QStringLiteral("U&ser volumes"), view_box);
    both_button_ = new QRadioButton(QStringLiteral("&Both"), view_box);
    for (auto [button, view] :
         {std::pair{logical_button_, VolumeView::LogicalDrives},
          std::pair{user_button_, VolumeView::UserVolumes}, std::pair{both_button_, VolumeView::Both}}) {
        view_layout->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, view = view] { ShowView(view); });
    }
    view_layout->addStretch();
    layout->addWidget(view_box);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectVolumeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SelectVolumeDialog::reject);
    layout->addWidget(buttons);
}

QRadioButton* SelectVolumeDialog::ViewButton(VolumeView view) const {
    switch (view) {
        case VolumeView::LogicalDrives:
            return logical_button_;
        case VolumeView::UserVolumes:
            return user_button_;
        case VolumeView::Both:
            return both_button_;
    }
    return nullptr;
}

void SelectVolumeDialog::ShowView(VolumeView view) {
    if (building_)
        return;
    view_ = view;
    ViewButton(view)->setChecked(true);
    list_->clear();
    items_.clear();
    ProbeHolder holder(services_.probe);
    VolumeListingSource source{holder.probe(), services_.programs, services_.netware};
    std::vector<VolumeItem> listed;
    if (view != VolumeView::UserVolumes)
        listed = ListLogicalDrives(source, *services_.ui);
    if (view != VolumeView::LogicalDrives) {
        std::vector<VolumeItem> user = ListUserVolumes(source, *services_.catalogue, *services_.ui);
        listed.insert(listed.end(), user.begin(), user.end());
    }
    for (const VolumeItem& item : listed)
        AppendItem(item);
}

void SelectVolumeDialog::SetRow(int row, const VolumeItem& item) {
    items_[static_cast<std::size_t>(row)] = item;
    QTreeWidgetItem* widget = list_->topLevelItem(row);
    widget->setText(kLetterColumn, Text(item.letter));
    widget->setText(kLocationColumn, Text(item.location));
    widget->setText(kSizeColumn, Text(item.size));
    widget->setText(kLabelColumn, Text(item.label));
    widget->setText(kTypeColumn, Text(item.type));
    widget->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    widget->setIcon(kLetterColumn, DriveIcon(item.image));
    widget->setData(kLetterColumn, Qt::UserRole, QVariant::fromValue<quint32>(item.value));
}

void SelectVolumeDialog::AppendItem(const VolumeItem& item) {
    items_.push_back(item);
    list_->addTopLevelItem(new QTreeWidgetItem());
    SetRow(list_->topLevelItemCount() - 1, item);
}

std::vector<int> SelectVolumeDialog::SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        if (list_->topLevelItem(row)->isSelected())
            rows.push_back(row);
    return rows;
}

void SelectVolumeDialog::AddVolume() {
    if (building_)
        return;
    UserVolumeRecord record;
    AddVolumeDialog dialog(*services_.ui, SystemLocationLookup(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    record = dialog.Record();
    if (!OpenUserVolumes(*services_.catalogue))
        return;
    const bool added = AddUserVolume(*services_.catalogue, record);
    CloseUserVolumes(*services_.catalogue);
    if (!added || static_cast<std::uint32_t>(record.uv_id) > kUvIdMask)
        return;
    if (view_ == VolumeView::LogicalDrives) {
        ShowView(VolumeView::UserVolumes);
        return;
    }
    ProbeHolder holder(services_.probe);
    VolumeListingSource source{holder.probe(), services_.programs, services_.netware};
    if (std::optional<VolumeItem> item = DescribeUserVolume(source, TakeListingSnapshot(source), record)) {
        AppendItem(*item);
    }
}

void SelectVolumeDialog::RemoveVolumes() {
    if (building_ || view_ == VolumeView::LogicalDrives)
        return;
    const std::vector<int> rows = SelectedRows();
    if (!OpenUserVolumes(*services_.catalogue))
        return;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const VolumeItem& item = items_[static_cast<std::size_t>(*row)];
        if (!item.IsUserVolume())
            continue;
        DeleteUserVolume(*services_.catalogue, item.UvId());
        items_.erase(items_.begin() + *row);
        delete list_->takeTopLevelItem(*row);
    }
    CloseUserVolumes(*services_.catalogue);
}

std::string SelectVolumeDialog::RememberedRootOf(const std::string& location,
                                                 const ListingSnapshot& snapshot) const {
    std::string best;
    for (const NetworkConnection& entry : snapshot.connections.remembered) {
        const std::string& point = entry.mount_point;
        const bool below = location.compare(0, point.size(), point) == 0 &&
                           (location.size() == point.size() || location[point.size()] == '/' || point == "/");
        if (below && point.size() > best.size())
            best = point;
    }
    return best;
}

VolumeItem SelectVolumeDialog::Redescribe(const VolumeItem& item) {
    ProbeHolder holder(services_.probe);
    VolumeListingSource source{holder.probe(), services_.programs, services_.netware};
    const ListingSnapshot snapshot = TakeListingSnapshot(source);
    if (item.IsUserVolume()) {
        UserVolumeRecord record;
        bool read = false;
        if (OpenUserVolumes(*services_.catalogue)) {
            read = SeekUserVolume(*services_.catalogue, item.UvId()) &&
                   ReadUserVolume(*services_.catalogue, record);
            CloseUserVolumes(*services_.catalogue);
        }
        if (read) {
            if (std::optional<VolumeItem> again = DescribeUserVolume(source, snapshot, record))
                return *again;
        }
        return item;
    }
    if (FindMount(snapshot.mounts, item.location) != nullptr) {
        return DescribeDrive(source, snapshot, item.location, std::nullopt,
                             item.value & ~(kNetworkItemBit | kConnectedItemBit));
    }
    return DescribeDisconnected(item.location, std::nullopt, item.value);
}

void SelectVolumeDialog::LogFailure(const std::string& what, const ProgramOutcome& outcome) {
    if (outcome.ok || services_.event_log_path.empty())
        return;
    std::string text = what + ": " + outcome.error_text;
    if (!outcome.program_text.empty())
        text += " (" + outcome.program_text + ")";
    WriteEvent(services_.event_log_path, "Select Volume", "Error", text);
}

void SelectVolumeDialog::ConnectDrives() {
    if (building_)
        return;
    ProbeHolder holder(services_.probe);
    VolumeListingSource source{holder.probe(), services_.programs, services_.netware};
    const ListingSnapshot snapshot = TakeListingSnapshot(source);
    for (int row : SelectedRows()) {
        const VolumeItem item = items_[static_cast<std::size_t>(row)];
        if (!item.IsNetwork() || item.IsConnected())
            continue;
        const std::string root = RememberedRootOf(item.location, snapshot);
        if (!root.empty())
            LogFailure("Connect " + root, ConnectNetworkDrive(services_.programs, root));
        SetRow(row, Redescribe(item));
    }
}

void SelectVolumeDialog::DisconnectDrives() {
    if (building_)
        return;
    ProbeHolder holder(services_.probe);
    VolumeListingSource source{holder.probe(), services_.programs, services_.netware};
    const ListingSnapshot snapshot = TakeListingSnapshot(source);
    bool forgotten = false;
    for (int row : SelectedRows()) {
        const VolumeItem item = items_[static_cast<std::size_t>(row)];
        if (!item.IsNetwork() || !item.IsConnected())
            continue;
        // The mount that carries the item: a share by its remote name, a
        // path by the mount point that holds it.
        const LocationParts parts = RootOfLocation(item.location, MountPointsOf(snapshot.mounts));
        const NetworkConnection* mounted = FindConnected(snapshot.connections, parts.root);
        const std::string root = mounted != nullptr ? mounted->mount_point : parts.root;
        const MountEntry* mount = FindMount(snapshot.mounts, root);
        const ProgramOutcome outcome =
            DisconnectNetworkDrive(services_.programs, root, mount != nullptr ? mount->fs_type : "");
        LogFailure("Disconnect " + root, outcome);
        // A mount no fstab entry remembers (GIO's, or one made by hand)
        // leaves no drive behind: the list is made anew without it.
        const bool remembered =
            std::any_of(snapshot.connections.remembered.begin(), snapshot.connections.remembered.end(),
                        [&](const NetworkConnection& entry) { return entry.mount_point == root; });
        if (outcome.ok && !remembered)
            forgotten = true;
        else
            SetRow(row, Redescribe(item));
    }
    if (forgotten)
        ShowView(view_);
}

void SelectVolumeDialog::MapNetworkDrive() {
    if (building_)
        return;
    MapDriveDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ProgramOutcome outcome = korvane::MapNetworkDrive(services_.programs, dialog.Location(),
                                                            dialog.MountPoint(), dialog.Credentials());
    QApplication::restoreOverrideCursor();
    if (!outcome.ok) {
        LogFailure("Map " + dialog.Location(), outcome);
        services_.ui->ShowMessage(outcome.error_text, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    ShowView(VolumeView::LogicalDrives);
}

bool SelectVolumeDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveVolumes();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SelectVolumeDialog::SetBusy(bool busy) {
    building_ = busy;
    for (QAction* action : {add_action_, remove_action_, connect_action_, disconnect_action_, map_action_})
        action->setEnabled(!busy);
}

void SelectVolumeDialog::accept() {
    if (building_)
        return;
    std::vector<const VolumeItem*> selected;
    for (int row : SelectedRows())
        selected.push_back(&items_[static_cast<std::size_t>(row)]);
    const SelectionOutcome outcome = GatherSelection(selected);
    if (!outcome.ok) {
        services_.ui->ShowMessage(outcome.message, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    volume_list_ = outcome.volume_list;
    if (mode_ == SelectVolumeMode::Build) {
        ScanContext context(*services_.catalogue, *services_.tree, *services_.counters, *services_.ui,
                            services_.event_log_path);
        context.probe = services_.probe;
        context.netware = services_.netware;
        context.ftp_scan = kScanFtpUserVolume;
        // The window under the progress window is disabled while the build
        // lets events through; the flag keeps every handler off the catalogue.
        SetBusy(true);
        QtProgressWindow window(this);
        PacedProgressWindow progress(window);
        built_ = BuildSelectedVolumes(context, services_.settings_path, volume_list_, &progress);
        progress.Close();
        SetBusy(false);
    }
    QDialog::accept();
}

void SelectVolumeDialog::reject() {
    if (!building_)
        QDialog::reject();
}

std::optional<std::string> PickVolumeList(const VolumeSelectionServices& services, QWidget* parent) {
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.VolumeList();
}

std::optional<std::string> PickVolumeList(ProgramState& state, QWidget* parent) {
    return PickVolumeList(ServicesOf(state), parent);
}

bool SelectVolumesAndBuild(const VolumeSelectionServices& services, QWidget* parent) {
    SelectVolumeDialog dialog(services, SelectVolumeMode::Build, parent);
    return dialog.exec() == QDialog::Accepted && dialog.Built();
}

bool SelectVolumesAndBuild(ProgramState& state, QWidget* parent) {
    return SelectVolumesAndBuild(ServicesOf(state), parent);
}

}  // namespace korvane
