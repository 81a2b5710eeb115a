// Timing of the volume selection, run by hand as root:
//   select_volume_timing [TREE]
// 1. Mounts 50 tmpfs file systems and times opening the Select Volume
//    dialog on them (listing every drive), five times.
// 2. With TREE (for example the tree of make-tree --seed 1), times a build
//    of it through the dialog's OK with its progress window on the offscreen
//    platform, against the same build as a script's Scan line runs it
//    (BuildCatalogue without a window), alternating, three times each.
#include <sys/mount.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "scan/ftp/ftp_scan.h"
#include "scan/volume_scanner.h"
#include "ui/qt_user_interface.h"
#include "ui/volumes/select_volume_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Bench {
    std::string folder;
    korvane::QtUserInterface ui;
    korvane::Catalogue catalogue{ui};
    korvane::FolderTree tree;
    korvane::IdCounters counters;
    korvane::VolumeSelectionServices services;

    explicit Bench(std::string work) : folder(std::move(work)) {
        std::filesystem::create_directories(folder);
        std::string error;
        korvane::CreateEmptyCatalogue(folder + "/Korvane.db", error);
        catalogue.OpenCatalogue(folder + "/Korvane.db");
        std::FILE* ini = std::fopen((folder + "/Korvane.ini").c_str(), "w");
        if (ini != nullptr)
            std::fclose(ini);
        services.catalogue = &catalogue;
        services.tree = &tree;
        services.counters = &counters;
        services.ui = &ui;
        services.settings_path = folder + "/Korvane.ini";
        services.event_log_path = folder + "/Event.log";
    }
};

void TimeListing(Bench& bench) {
    std::vector<std::string> mounts;
    for (int i = 0; i < 50; ++i) {
        const std::string point = bench.folder + "/mount" + std::to_string(i);
        std::filesystem::create_directories(point);
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") == 0)
            mounts.push_back(point);
    }
    std::vector<double> opens;
    int rows = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        korvane::SelectVolumeDialog dialog(bench.services, korvane::SelectVolumeMode::Pick);
        dialog.show();
        QApplication::processEvents();
        opens.push_back(Seconds(start));
        rows = dialog.List()->topLevelItemCount();
    }
    for (const std::string& point : mounts)
        ::umount2(point.c_str(), MNT_DETACH);
    std::printf(
        "open Select Volume: %zu tmpfs mounts added, %d drives listed, median %.1f ms (target < 150 ms)\n",
        mounts.size(), rows, Median(opens) * 1000);
}

void TimeBuilds(Bench& bench, const std::string& tree_root) {
    korvane::UserVolumeRecord record;
    record.location = tree_root;
    korvane::OpenUserVolumes(bench.catalogue);
    korvane::AddUserVolume(bench.catalogue, record);
    korvane::CloseUserVolumes(bench.catalogue);
    const std::string list = "\"uv: " + std::to_string(record.uv_id) + "\",";
    std::vector<double> windowed, script;
    for (int run = 0; run < 3; ++run) {
        {
            const auto start = Clock::now();
            korvane::ScanContext context(bench.catalogue, bench.tree, bench.counters, bench.ui,
                                         bench.services.event_log_path);
            context.ftp_scan = korvane::kScanFtpUserVolume;
            korvane::BuildCatalogue(context, list, nullptr);
            script.push_back(Seconds(start));
        }
        {
            korvane::SelectVolumeDialog dialog(bench.services, korvane::SelectVolumeMode::Build);
            dialog.show();
            dialog.ShowView(korvane::VolumeView::UserVolumes);
            dialog.List()->topLevelItem(0)->setSelected(true);
            const auto start = Clock::now();
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            windowed.push_back(Seconds(start));
        }
        std::printf("run %d: script %.2f s, windowed %.2f s\n", run + 1, script.back(), windowed.back());
    }
    std::printf("build of %s: windowed/script median ratio %.3f (target <= 1.1)\n", tree_root.c_str(),
                Median(windowed) / Median(script));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string work = std::filesystem::temp_directory_path().string() + "/korvane-select-volume-" +
                             std::to_string(::getpid());
    {
        Bench bench(work);
        if (::geteuid() == 0)
            TimeListing(bench);
        else
            std::printf("open Select Volume: not measured (mounting needs root)\n");
        if (argc > 1)
            TimeBuilds(bench, argv[1]);
    }
    std::filesystem::remove_all(work);
    return 0;
}
