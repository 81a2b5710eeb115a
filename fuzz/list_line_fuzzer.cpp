// Feeds arbitrary bytes to the listing-line parser and checks what it
// promises about every entry it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scan/ftp/ftp_list_parser.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void ParseAt(std::string_view line, std::int64_t now) {
    korvane::FtpDirEntry entry;
    if (!korvane::ParseListLine(line, entry, now)) {
        Check(entry.name.empty() && entry.owner.empty() && entry.size == 0 && entry.attributes == 0);
        return;
    }
    Check(!entry.name.empty() && entry.name.size() <= korvane::kFtpMaxNameLength);
    Check(entry.name.find_first_of("\r\n") == std::string_view::npos);
    Check(entry.owner.size() <= korvane::kFtpMaxOwnerLength);
    Check(entry.attributes == 0 || entry.attributes == korvane::kFtpAttrDirectory ||
          entry.attributes == korvane::kFtpAttrLink);
    Check(entry.safe_name == korvane::IsSafeListName(entry.name));
    if (entry.safe_name)
        Check(entry.name.find('/') == std::string_view::npos && entry.name != "..");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    ParseAt(line, 1718452800);  // 2024-06-15 12:00 UTC
    ParseAt(line, 0);
    ParseAt(line, 253402300799);  // 9999-12-31 23:59:59 UTC
    return 0;
}
