// The FTP scan of a whole site into a fresh catalogue, against a server the
// caller runs (bench/ftp_scan_bench.sh starts one on loopback and times a
// recursive listing of the same site with lftp beside it).
//   KORVANE_FTP_BENCH_PORT  the server's port on 127.0.0.1 (required)
//   KORVANE_FTP_BENCH_USER, KORVANE_FTP_BENCH_PASSWORD  (default: anonymous)
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "scan/ftp/ftp_scan.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

void BM_FtpScanSite(benchmark::State& state) {
    const std::string port = Environment("KORVANE_FTP_BENCH_PORT", "");
    if (port.empty()) {
        state.SkipWithError("KORVANE_FTP_BENCH_PORT is not set: run bench/ftp_scan_bench.sh");
        return;
    }
    UserVolumeRecord site;
    site.location = "ftp:127.0.0.1";
    site.user_name = Environment("KORVANE_FTP_BENCH_USER", "anonymous");
    site.password = Environment("KORVANE_FTP_BENCH_PASSWORD", "guest@example.org");
    site.port = std::stoi(port);
    site.flags = state.range(0) != 0 ? kPassiveTransfers : 0;

    const fs::path folder = fs::temp_directory_path() / ("korvane-ftp-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string db_path = (folder / "Korvane.db").string();
    SilentUserInterface ui;
    std::int64_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db_path);
        fs::remove(db_path + "-wal");
        fs::remove(db_path + "-shm");
        std::string error;
        Catalogue catalogue(ui);
        if (!CreateEmptyCatalogue(db_path, error) || !catalogue.OpenCatalogue(db_path)) {
            state.SkipWithError(("cannot make the catalogue: " + error).c_str());
            break;
        }
        state.ResumeTiming();

        catalogue.OpenCatalogueTables();
        IdCounters counters{1, 1, 1};
        FtpScanTarget target{catalogue, counters, ui, (folder / "Event.log").string(), {}, folder.string()};
        if (!FtpScanVolume(target, site, nullptr)) {
            state.SkipWithError("the scan failed: see Event.log in the temporary folder");
            break;
        }
        catalogue.CloseCatalogueTables();
        files = counters.next_file - 1;
    }
    state.counters["files"] = static_cast<double>(files);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

BENCHMARK(BM_FtpScanSite)->ArgName("passive")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvane
