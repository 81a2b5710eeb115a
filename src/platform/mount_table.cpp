#include "platform/mount_table.h"

#include "platform/percent_escapes.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

namespace korvane {
namespace {

std::string DecodeOctalEscapes(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos >= line.size())
            break;
        std::size_t end = line.find(' ', pos);
        if (end == std::string_view::npos)
            end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

bool ParseDevice(std::string_view field, std::uint64_t& device) {
    const auto colon = field.find(':');
    if (colon == std::string_view::npos)
        return false;
    unsigned major = 0, minor = 0;
    auto r1 = std::from_chars(field.data(), field.data() + colon, major);
    auto r2 = std::from_chars(field.data() + colon + 1, field.data() + field.size(), minor);
    if (r1.ec != std::errc() || r2.ec != std::errc())
        return false;
    device = makedev(major, minor);
    return true;
}

// The value of a key of a GIO mount name ("type:key=value,key=value").
std::string NamedValue(std::string_view name, std::string_view key) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return {};
    std::size_t at = colon + 1;
    while (at < name.size()) {
        std::size_t end = name.find(',', at);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view pair = name.substr(at, end - at);
        if (pair.size() > key.size() && pair.compare(0, key.size(), key) == 0 && pair[key.size()] == '=') {
            return DecodePercentEscapes(pair.substr(key.size() + 1));  // GIO mount names come %-escaped
        }
        at = end + 1;
    }
    return {};
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const auto fields = SplitFields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 6 || dash == fields.end() || dash - fields.begin() < 6 ||
            fields.end() - dash < 3) {
            continue;
        }
        MountEntry entry;
        if (!ParseDevice(fields[2], entry.device))
            continue;
        entry.root = DecodeOctalEscapes(fields[3]);
        entry.mount_point = DecodeOctalEscapes(fields[4]);
        entry.options = std::string(fields[5]);
        entry.fs_type = DecodeOctalEscapes(dash[1]);
        entry.source = DecodeOctalEscapes(dash[2]);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable() {
    std::ifstream in("/proc/self/mountinfo", std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMountInfo(text.str());
}

bool IsPseudoFileSystem(std::string_view fs_type) {
    static constexpr std::string_view kPseudo[] = {
        "proc",           "sysfs",     "cgroup",    "cgroup2",         "devpts",      "devtmpfs",
        "securityfs",     "pstore",    "debugfs",   "tracefs",         "configfs",    "fusectl",
        "mqueue",         "hugetlbfs", "bpf",       "binfmt_misc",     "autofs",      "efivarfs",
        "rpc_pipefs",     "nsfs",      "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "overlay_internal",
        "ramfs_internal", "nfsd",      "cpuset",    "fuse.lxcfs",      "binder",      "binderfs",
        "xenfs",          "usbfs",     "resctrl",   "pipefs",          "sockfs",      "openpromfs",
        "spufs",          "ipathfs"};
    return std::find(std::begin(kPseudo), std::end(kPseudo), fs_type) != std::end(kPseudo);
}

std::string MountPointOf(std::string_view path, const std::vector<std::string>& mount_points) {
    std::string best = "/";
    for (const auto& mount : mount_points) {
        if (mount.size() <= best.size() || mount == "/")
            continue;
        if (path.size() < mount.size() || path.compare(0, mount.size(), mount) != 0)
            continue;
        if (path.size() == mount.size() || path[mount.size()] == '/')
            best = mount;
    }
    return best;
}

std::vector<std::string> MountPointsOf(const std::vector<MountEntry>& mounts) {
    std::vector<std::string> points;
    points.reserve(mounts.size());
    for (const auto& m : mounts)
        points.push_back(m.mount_point);
    return points;
}

const MountEntry* FindMount(const std::vector<MountEntry>& mounts, std::string_view mount_point) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (it->mount_point == mount_point)
            return &*it;
    }
    return nullptr;
}

bool IsGioMount(const MountEntry& mount) {
    return mount.fs_type == kGioFuseType && mount.root != "/" && SourceOfGioMount(mount.root.substr(1));
}

std::optional<std::string> SourceOfGioMount(std::string_view folder_name) {
    if (folder_name.find(':') == std::string_view::npos || folder_name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string server = NamedValue(folder_name, "server");
    if (server.empty())
        server = NamedValue(folder_name, "host");
    if (server.empty() || server.find_first_of("/\\") != std::string::npos)
        return std::nullopt;
    if (const std::string share = NamedValue(folder_name, "share"); !share.empty()) {
        return "//" + server + "/" + share;
    }
    std::string prefix = NamedValue(folder_name, "prefix");
    if (prefix.empty() || prefix[0] != '/')
        prefix.insert(0, "/");
    return server + ":" + prefix;
}

std::vector<MountEntry> WithGioMounts(const std::vector<MountEntry>& mounts,
                                      std::vector<std::string> (*list_folder)(const std::string&)) {
    std::vector<MountEntry> out;
    out.reserve(mounts.size());
    for (const MountEntry& mount : mounts) {
        out.push_back(mount);
        if (mount.fs_type != kGioFuseType || mount.root != "/")
            continue;
        for (const std::string& name : list_folder(mount.mount_point)) {
            const std::optional<std::string> source = SourceOfGioMount(name);
            if (!source)
                continue;
            MountEntry share = mount;
            share.mount_point = (mount.mount_point == "/" ? "" : mount.mount_point) + "/" + name;
            share.root = "/" + name;
            share.source = *source;
            out.push_back(std::move(share));
        }
    }
    return out;
}

}  // namespace korvane
