#include "app/text_helpers.h"

#include <algorithm>
#include <cctype>

#include "platform/mount_table.h"
#include "platform/volumes.h"

namespace korvane {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsPosixPath(std::string_view location) { return !location.empty() && location.front() == '/'; }

// "\\server\share\rest": the position of the "\" after the share name, or npos.
std::size_t EndOfUncRoot(std::string_view location) {
    const std::size_t server_end = location.find('\\', 2);
    if (server_end == std::string_view::npos) return std::string_view::npos;
    return location.find('\\', server_end + 1);
}

LocationParts CutAt(std::string_view location, std::size_t cut) {
    if (cut == std::string_view::npos) return {std::string(location), std::nullopt};
    return {std::string(location.substr(0, cut)), std::string(location.substr(cut))};
}

}  // namespace

std::vector<std::string> SplitTokens(std::string_view text, std::size_t max_tokens) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < text.size() && tokens.size() < max_tokens) {
        while (pos < text.size() && IsSeparator(text[pos])) ++pos;
        if (pos >= text.size() || IsLineEnd(text[pos])) break;
        if (text[pos] == '"') {
            const std::size_t start = ++pos;
            while (pos < text.size() && text[pos] != '"' && !IsLineEnd(text[pos])) ++pos;
            tokens.emplace_back(text.substr(start, pos - start));
            if (pos < text.size() && text[pos] == '"') ++pos;
            continue;
        }
        const std::size_t start = pos;
        while (pos < text.size() && !IsSeparator(text[pos]) && !IsLineEnd(text[pos]) && text[pos] != '=') ++pos;
        if (pos > start) tokens.emplace_back(text.substr(start, pos - start));
        if (pos < text.size() && text[pos] == '=') ++pos;
    }
    return tokens;
}

LocationParts RootOfLocation(std::string_view location, const std::vector<std::string>& mount_points) {
    if (StartsWithNoCase(location, "ftp:")) return CutAt(location, location.find('/'));
    if (location.size() >= 2 && location[0] == '\\' && location[1] == '\\') {
        return CutAt(location, EndOfUncRoot(location));
    }
    if (IsPosixPath(location)) {
        std::string path(location);
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const std::string root = MountPointOf(path, mount_points);
        if (path.size() == root.size()) return {root, std::nullopt};
        if (root == "/") return {root, path};
        return {root, path.substr(root.size())};
    }
    return CutAt(location, location.find('\\'));
}

LocationParts RootOfLocation(std::string_view location) {
    if (!IsPosixPath(location)) return RootOfLocation(location, {});
    return RootOfLocation(location, MountPointsOf(ReadMountTable()));
}

std::optional<NetworkName> SplitUncName(std::string_view name) {
    if (name.size() < 2 || name[0] != '\\' || name[1] != '\\') return std::nullopt;
    NetworkName out;
    std::string_view rest = name.substr(2);
    const std::size_t server_end = rest.find('\\');
    out.server = std::string(rest.substr(0, server_end));
    if (server_end != std::string_view::npos) {
        rest = rest.substr(server_end + 1);
        const std::size_t share_end = rest.find('\\');
        out.share = std::string(rest.substr(0, share_end));
        if (share_end != std::string_view::npos) out.rest = std::string(rest.substr(share_end + 1));
    }
    if (!out.share.empty() && out.share.back() == ':') out.share.pop_back();
    return out;
}

std::optional<NetworkName> SplitNetworkName(std::string_view name) {
    if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') return SplitUncName(name);
    if (!IsPosixPath(name)) return std::nullopt;
    // A POSIX path: the remote name is the source of the mount that holds it.
    const auto mounts = ReadMountTable();
    const LocationParts parts = RootOfLocation(name, MountPointsOf(mounts));
    const MountEntry* mount = FindMount(mounts, parts.root);
    if (mount == nullptr) return std::nullopt;
    const auto remote = ParseRemoteSource(mount->source, mount->fs_type);
    if (!remote || remote->server.empty()) return std::nullopt;
    NetworkName split{remote->server, remote->share, remote->rest};
    if (!split.share.empty() && split.share.back() == ':') split.share.pop_back();
    if (parts.rest) {
        const std::string below = parts.rest->substr(1);
        split.rest = split.rest.empty() ? below : split.rest + "/" + below;
    }
    return split;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string FillTemplate(std::string_view message, std::string_view value) {
    const auto at = message.find("%s");
    if (at == std::string_view::npos) return std::string(message);
    std::string out;
    out.reserve(message.size() + value.size());
    out.append(message.substr(0, at)).append(value).append(message.substr(at + 2));
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

char PathSeparatorOf(std::string_view root_or_path) {
    return (IsPosixPath(root_or_path) || StartsWithNoCase(root_or_path, "ftp:")) ? '/' : '\\';
}

std::string JoinPath(std::string_view base, std::string_view name, char separator) {
    std::string out(base);
    const bool base_ends = !out.empty() && out.back() == separator;
    const bool name_starts = !name.empty() && name.front() == separator;
    if (base_ends && name_starts) {
        name.remove_prefix(1);
    } else if (!base_ends && !name_starts && !out.empty() && !name.empty()) {
        out.push_back(separator);
    }
    out.append(name);
    return out;
}

std::string JoinPath(std::string_view base, std::string_view name) {
    return JoinPath(base, name, PathSeparatorOf(base));
}

bool PathNamesEqual(std::string_view root_or_path, std::string_view a, std::string_view b) {
    return IsPosixPath(root_or_path) ? a == b : EqualsNoCase(a, b);
}

std::string DisplayText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        if (c < 0x80) {
            length = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        }
        if (valid && length >= 3) {
            const auto c1 = static_cast<unsigned char>(bytes[i + 1]);
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) ||
                (c == 0xF4 && c1 >= 0x90)) {
                valid = false;
            }
        }
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

}  // namespace korvane
