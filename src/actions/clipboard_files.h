// Cut and copied files on the desktop clipboard, in the forms the desktop's
// file managers write and read: a plain-text list of paths, a URI list, the
// "copy"/"cut" list of one desktop family and the cut mark of another. The
// forms are bytes keyed by MIME type, so the core needs no toolkit; the
// window layer moves them to and from the system clipboard.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

inline constexpr std::string_view kMimeText = "text/plain";
inline constexpr std::string_view kMimeUriList = "text/uri-list";
inline constexpr std::string_view kMimeGnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr std::string_view kMimeKdeCutSelection = "application/x-kde-cutselection";

struct ClipboardFiles {
    std::vector<std::string> paths;  // absolute paths, bytes as the file system has them
    bool cut = false;                // the files are to be moved, not copied
};

using ClipboardFormat = std::pair<std::string, std::string>;  // MIME type, bytes

// The four forms for the paths: text (each path and CR LF), URI list, the
// "copy"/"cut" list and the cut mark ("1" or "0").
std::vector<ClipboardFormat> EncodeClipboardFiles(const ClipboardFiles& files);

// Reads files back from what the clipboard offers (format(mime) gives the
// bytes of a form that is present). The paths come from the first present of
// the text, the URI list and the "copy"/"cut" list that holds only local
// paths; text counts only when every line is an absolute path, and a URI
// list that names other paths (a name with a line break) wins. The cut flag
// comes from the "copy"/"cut" list's first line, else the cut mark. False
// when no form holds a path.
using ClipboardFormatReader = std::function<std::optional<std::string>(std::string_view mime)>;
bool DecodeClipboardFiles(const ClipboardFormatReader& format, ClipboardFiles& files);

// "file://" URI of an absolute path: bytes outside the unreserved URI
// characters and "/" are written %XX. And back: false for anything but a
// local file URI.
std::string FileUriOfPath(std::string_view path);
bool PathOfFileUri(std::string_view uri, std::string& path);

}  // namespace korvane
