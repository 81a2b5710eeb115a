// Feeds arbitrary bytes, as a file, to the query, result and schedule file
// readers: whatever the file holds, they return without crashing and keep
// their bounds.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/document_settings.h"
#include "catalogue/folder_tree.h"
#include "query/query_file.h"
#include "query/query_profile.h"
#include "result/result_data.h"
#include "result/result_file.h"
#include "schedule/schedule_file.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::string FilePath() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/korvane-fuzz-document-" +
           std::to_string(::getpid());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = FilePath();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    const bool written = ::write(fd, data, size) == static_cast<ssize_t>(size);
    ::close(fd);
    if (!written)
        return 0;

    korvane::FolderTree folders;
    korvane::QueryProfile profile;
    korvane::ReadQueryFile(profile, path, folders, false);

    korvane::ResultDocument result;
    if (korvane::ReadResultFile(result, path, folders))
        Check(result.data.columns.size() <= korvane::kMaxResultColumns);

    korvane::DocumentExShared shared;
    korvane::CDocumentEx document(shared);
    korvane::ScheduleContent content;
    if (korvane::ReadScheduleFile(document, path, content)) {
        for (const auto& row : content.rows)
            Check(row.command.size() + row.parameters.size() <= korvane::kMaxScriptLineLength + 1);
    }
    return 0;
}
