// Feeds arbitrary bytes to the profile-file reader (Korvane.ini, queries,
// results, schedules all go through it) and checks its promises: every key
// it lists can be read, and the text it writes back reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/document_settings.h"
#include "app/profile_file.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    korvane::ProfileDocument document;
    document.Parse(text);
    korvane::ProfileDocument again;
    again.Parse(document.Text());
    Check(again.Text() == document.Text());
    for (const std::string& section : document.SectionNames()) {
        Check(document.HasSection(section));
        for (const std::string& key : document.KeysOf(section)) {
            Check(document.HasKey(section, key));
            const std::string value = document.Get(section, key);
            Check(again.Get(section, key) == value);
            document.GetInt(section, key);
            korvane::UnquoteSettingValue(value);
        }
    }
    // A value written is read back (line breaks become blanks, outer blanks go).
    document.Set("Fuzz", "Key", "value");
    Check(document.Get("Fuzz", "Key") == "value");
    return 0;
}
