#include "actions/clipboard_files.h"

#include <cctype>

#include "platform/percent_escapes.h"

namespace korvane {
namespace {

bool IsUnreserved(unsigned char c) {
    return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

// Lines of a list; CR LF and LF both end a line; empty lines are dropped.
std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// URI lines (comments "#" skipped) as paths; false when any is not a local file.
bool PathsOfUriLines(const std::vector<std::string_view>& lines, std::vector<std::string>& paths) {
    paths.clear();
    for (std::string_view line : lines) {
        if (line.starts_with('#')) {
            continue;
        }
        std::string path;
        if (!PathOfFileUri(line, path)) {
            return false;
        }
        paths.push_back(std::move(path));
    }
    return !paths.empty();
}

bool PathsOfText(std::string_view text, std::vector<std::string>& paths) {
    paths.clear();
    for (std::string_view line : LinesOf(text)) {
        if (!line.starts_with('/')) {
            return false;
        }
        paths.emplace_back(line);
    }
    return !paths.empty();
}

}  // namespace

std::string FileUriOfPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0x0F];
        }
    }
    return uri;
}

bool PathOfFileUri(std::string_view uri, std::string& path) {
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size() || uri.substr(0, kScheme.size()) != kScheme) {
        return false;
    }
    uri.remove_prefix(kScheme.size());
    if (uri.starts_with("//")) {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        const std::string_view host = uri.substr(0, slash);
        if (slash == std::string_view::npos || (!host.empty() && host != "localhost")) {
            return false;
        }
        uri.remove_prefix(slash);
    }
    if (!uri.starts_with('/')) {
        return false;
    }
    path = DecodePercentEscapes(uri);
    return true;
}

std::vector<ClipboardFormat> EncodeClipboardFiles(const ClipboardFiles& files) {
    std::string text, uris, gnome = files.cut ? "cut" : "copy";
    for (const std::string& path : files.paths) {
        text += path + "\r\n";
        const std::string uri = FileUriOfPath(path);
        uris += uri + "\r\n";
        gnome += "\n" + uri;
    }
    return {{std::string(kMimeText), text},
            {std::string(kMimeUriList), uris},
            {std::string(kMimeGnomeCopiedFiles), gnome},
            {std::string(kMimeKdeCutSelection), files.cut ? "1" : "0"}};
}

bool DecodeClipboardFiles(const ClipboardFormatReader& format, ClipboardFiles& files) {
    files = ClipboardFiles{};
    const std::optional<std::string> gnome = format(kMimeGnomeCopiedFiles);
    std::vector<std::string_view> gnome_lines;
    if (gnome) {
        gnome_lines = LinesOf(*gnome);
    }
    bool found = false;
    if (const std::optional<std::string> text = format(kMimeText)) {
        found = PathsOfText(*text, files.paths);
    }
    // Text cannot carry a name with a line break: a URI list that says
    // otherwise is the exact one.
    if (const std::optional<std::string> uris = format(kMimeUriList)) {
        std::vector<std::string> exact;
        if (PathsOfUriLines(LinesOf(*uris), exact) && (!found || exact != files.paths)) {
            files.paths = std::move(exact);
            found = true;
        }
    }
    if (!found && gnome_lines.size() > 1) {
        found = PathsOfUriLines({gnome_lines.begin() + 1, gnome_lines.end()}, files.paths);
    }
    if (!found) {
        files.paths.clear();
        return false;
    }
    if (!gnome_lines.empty() && (gnome_lines.front() == "cut" || gnome_lines.front() == "copy")) {
        files.cut = gnome_lines.front() == "cut";
    } else if (const std::optional<std::string> mark = format(kMimeKdeCutSelection)) {
        files.cut = !mark->empty() && mark->front() == '1';
    }
    return true;
}

}  // namespace korvane
