// Hot text paths: splitting script and log lines, formatting sizes, and
// reading a large result file through DocumentSettings.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "app/document_settings.h"
#include "app/formatting.h"
#include "app/text_helpers.h"

namespace {

void BM_SplitTokensEventLine(benchmark::State& state) {
    const std::string line =
        "\"07/24/1998 14:05:09\", \"night.sch\", \"Info\", \"Success executing script C:\\Jobs\\night.sch\"\r\n";
    for (auto _ : state) benchmark::DoNotOptimize(korvane::SplitTokens(line));
}
BENCHMARK(BM_SplitTokensEventLine);

void BM_FormatSize(benchmark::State& state) {
    std::uint64_t value = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::FormatSize(value));
        value = value * 7 + 13;
    }
}
BENCHMARK(BM_FormatSize);

// A result file of N row lines read back key by key, as the result document does.
void BM_ReadResultRows(benchmark::State& state) {
    const auto rows = static_cast<int>(state.range(0));
    const std::string path = (std::filesystem::temp_directory_path() / "korvane-bench-rows.rst").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "[Rows]\r\nLines=" << rows << "\r\n";
        for (int i = 1; i <= rows; ++i) {
            out << "Line" << i << "=\"report " << i << ".doc\",12345,\"10:00:00 01/02/2024\",\r\n";
        }
    }
    for (auto _ : state) {
        korvane::DocumentSettings settings;
        settings.SelectFile(path);
        settings.SelectSection("Rows");
        const long lines = settings.ReadInt("Lines");
        std::size_t total = 0;
        for (long i = 1; i <= lines; i += std::max(1L, lines / 100)) {
            total += settings.ReadText("Line" + std::to_string(i)).size();
        }
        benchmark::DoNotOptimize(total);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadResultRows)->Arg(1000)->Arg(10000);

}  // namespace
