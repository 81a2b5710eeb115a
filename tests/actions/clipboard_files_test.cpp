#include "actions/clipboard_files.h"

#include <gtest/gtest.h>

#include <map>

namespace korvane::testing {
namespace {

ClipboardFormatReader ReaderOf(const std::map<std::string, std::string>& forms) {
    return [forms](std::string_view mime) -> std::optional<std::string> {
        auto it = forms.find(std::string(mime));
        return it == forms.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(ClipboardFiles, KorvaneWritesTheFourFormsAFileManagerReads) {
    const ClipboardFiles cut{{"/data/a b.txt", "/data/-x"}, true};
    std::map<std::string, std::string> forms;
    for (const auto& [mime, bytes] : EncodeClipboardFiles(cut)) {
        forms[mime] = bytes;
    }
    EXPECT_EQ(forms["text/plain"], "/data/a b.txt\r\n/data/-x\r\n");
    EXPECT_EQ(forms["text/uri-list"], "file:///data/a%20b.txt\r\nfile:///data/-x\r\n");
    EXPECT_EQ(forms["x-special/gnome-copied-files"], "cut\nfile:///data/a%20b.txt\nfile:///data/-x");
    EXPECT_EQ(forms["application/x-kde-cutselection"], "1");
    const ClipboardFiles copy{{"/d/x"}, false};
    EXPECT_EQ(EncodeClipboardFiles(copy)[2].second, "copy\nfile:///d/x");
    EXPECT_EQ(EncodeClipboardFiles(copy)[3].second, "0");
}

TEST(ClipboardFiles, WhatFileManagersWriteIsReadBack) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> forms;
        std::vector<std::string> paths;
        bool cut;
    };
    const std::vector<Case> cases = {
        {"one desktop's cut",
         {{"x-special/gnome-copied-files", "cut\nfile:///home/u/a%C3%A9.txt\nfile:///home/u/b"}},
         {"/home/u/a\xC3\xA9.txt", "/home/u/b"},
         true},
        {"the other desktop's cut",
         {{"text/uri-list", "file:///srv/x\r\nfile://localhost/srv/y\r\n"},
          {"application/x-kde-cutselection", "1"}},
         {"/srv/x", "/srv/y"},
         true},
        {"a plain copy", {{"text/uri-list", "file:///srv/x\n"}}, {"/srv/x"}, false},
        {"text of paths", {{"text/plain", "/a/b\n/c\n"}}, {"/a/b", "/c"}, false},
        {"a name with a line break",
         {{"text/plain", "/a/new\r\nline\r\n"}, {"text/uri-list", "file:///a/new%0Aline"}},
         {"/a/new\nline"},
         false},
        {"bytes that are not UTF-8", {{"text/uri-list", "file:///a/%FF%FE"}}, {"/a/\xFF\xFE"}, false},
    };
    for (const Case& c : cases) {
        ClipboardFiles files;
        EXPECT_TRUE(DecodeClipboardFiles(ReaderOf(c.forms), files)) << c.what;
        EXPECT_EQ(files.paths, c.paths) << c.what;
        EXPECT_EQ(files.cut, c.cut) << c.what;
    }
    ClipboardFiles files;
    EXPECT_FALSE(DecodeClipboardFiles(ReaderOf({{"text/plain", "hello world"}}), files));
    EXPECT_FALSE(DecodeClipboardFiles(ReaderOf({{"text/uri-list", "https://example.invalid/x"}}), files));
    EXPECT_FALSE(DecodeClipboardFiles(ReaderOf({{"text/uri-list", "file://otherhost/x"}}), files));
    EXPECT_FALSE(DecodeClipboardFiles(ReaderOf({}), files));
}

TEST(ClipboardFiles, WhatKorvaneWritesComesBackExactly) {
    const ClipboardFiles original{{"/a/new\nline", "/a/\xFF", "/a/%41", "/a/-rf"}, true};
    std::map<std::string, std::string> forms;
    for (const auto& [mime, bytes] : EncodeClipboardFiles(original)) {
        forms[mime] = bytes;
    }
    ClipboardFiles back;
    ASSERT_TRUE(DecodeClipboardFiles(ReaderOf(forms), back));
    EXPECT_EQ(back.paths, original.paths);
    EXPECT_TRUE(back.cut);
}

}  // namespace
}  // namespace korvane::testing
