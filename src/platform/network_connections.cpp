#include "platform/network_connections.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <fstream>
#include <sstream>

#include "platform/mount_table.h"

namespace korvane {
namespace {

// fstab fields write blanks as octal escapes ("\040").
std::string DecodeOctal(std::string_view field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size())
            break;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            ++end;
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

bool HasOption(std::string_view options, std::string_view wanted) {
    std::size_t at = 0;
    while (at <= options.size()) {
        std::size_t end = options.find(',', at);
        if (end == std::string_view::npos)
            end = options.size();
        if (options.substr(at, end - at) == wanted)
            return true;
        at = end + 1;
    }
    return false;
}

bool IsNetworkEntry(const NetworkConnection& entry, std::string_view options) {
    return IsRemoteFileSystem(entry.fs_type) || HasOption(options, "_netdev") || entry.remote.has_value();
}

std::string Trimmed(const QByteArray& bytes) {
    return bytes.trimmed().toStdString();
}

}  // namespace

std::vector<NetworkConnection> ParseNetworkFstab(std::string_view text) {
    std::vector<NetworkConnection> entries;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.size() < 3)
            continue;
        NetworkConnection entry;
        entry.source = DecodeOctal(fields[0]);
        entry.mount_point = DecodeOctal(fields[1]);
        entry.fs_type = std::string(fields[2]);
        if (entry.mount_point.empty() || entry.mount_point[0] != '/')
            continue;
        entry.remote = ParseRemoteSource(entry.source, entry.fs_type);
        const std::string_view options = fields.size() > 3 ? fields[3] : std::string_view();
        if (IsNetworkEntry(entry, options))
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<NetworkConnection> ConnectedNetworkMounts(const std::vector<MountEntry>& mounts) {
    std::vector<NetworkConnection> connected;
    for (const MountEntry& mount : mounts) {
        if (ClassifyDrive(mount, std::nullopt) != DriveType::kRemote)
            continue;
        connected.push_back(
            {mount.mount_point, mount.source, mount.fs_type, ParseRemoteSource(mount.source, mount.fs_type)});
    }
    return connected;
}

NetworkConnectionLists TakeNetworkConnections(const NetworkPrograms& programs,
                                              const std::vector<MountEntry>& mounts) {
    NetworkConnectionLists lists;
    std::ifstream file(programs.fstab_path, std::ios::binary);
    if (!file)
        return lists;
    std::ostringstream text;
    text << file.rdbuf();
    lists.remembered = ParseNetworkFstab(text.str());
    if (lists.remembered.empty())
        return lists;
    lists.connected = ConnectedNetworkMounts(mounts);
    return lists;
}

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          int timeout_ms) {
    QStringList list;
    for (const std::string& argument : arguments)
        list << QString::fromStdString(argument);
    QProcess process;
    process.start(QString::fromStdString(program), list);
    ProgramOutcome outcome;
    if (!process.waitForStarted(timeout_ms)) {
        outcome.error_text = program + ": " + process.errorString().toStdString();
        return outcome;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeout_ms)) {
        process.kill();
        process.waitForFinished(1000);
        outcome.error_text = program + ": did not finish in time";
        return outcome;
    }
    outcome.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!outcome.ok) {
        outcome.error_text = Trimmed(process.readAllStandardError());
        if (outcome.error_text.empty())
            outcome.error_text = Trimmed(process.readAllStandardOutput());
        if (outcome.error_text.empty())
            outcome.error_text = program + " ended with code " + std::to_string(process.exitCode());
    }
    return outcome;
}

ProgramOutcome ConnectNetworkDrive(const NetworkPrograms& programs, std::string_view mount_point) {
    return RunProgram(programs.mount, {"--fstab", programs.fstab_path, std::string(mount_point)});
}

ProgramOutcome DisconnectNetworkDrive(const NetworkPrograms& programs, std::string_view mount_point,
                                      std::string_view fs_type) {
    if (fs_type == kGioFuseType)
        return RunProgram(programs.gio, {"mount", "-u", std::string(mount_point)});
    return RunProgram(programs.umount, {std::string(mount_point)});
}

MapLocationKind KindOfMapLocation(std::string_view location) {
    const std::size_t scheme = location.find("://");
    if (scheme != std::string_view::npos && scheme > 0) {
        return location.size() > scheme + 3 ? MapLocationKind::Address : MapLocationKind::Invalid;
    }
    if (location.size() > 2 &&
        ((location[0] == '/' && location[1] == '/') || (location[0] == '\\' && location[1] == '\\'))) {
        const std::optional<RemoteName> share = ParseRemoteSource(location);
        return share && !share->share.empty() ? MapLocationKind::Share : MapLocationKind::Invalid;
    }
    const std::optional<RemoteName> export_name = ParseRemoteSource(location);
    return export_name && !export_name->server.empty() ? MapLocationKind::Share : MapLocationKind::Invalid;
}

ProgramOutcome MapNetworkDrive(const NetworkPrograms& programs, std::string_view location,
                               std::string_view mount_point, bool as_guest) {
    switch (KindOfMapLocation(location)) {
        case MapLocationKind::Address:
            if (as_guest)
                return RunProgram(programs.gio, {"mount", "--anonymous", std::string(location)});
            return RunProgram(programs.gio, {"mount", std::string(location)});
        case MapLocationKind::Share: {
            if (mount_point.empty() || mount_point[0] != '/')
                return {false, "A mount point must be an absolute folder."};
            QDir().mkpath(QString::fromStdString(std::string(mount_point)));
            std::string source(location);
            std::vector<std::string> arguments;
            if (source[0] == '\\' || source[0] == '/') {
                for (char& c : source)
                    if (c == '\\')
                        c = '/';
                arguments = {"-t", "cifs"};
            }
            arguments.push_back(source);
            arguments.emplace_back(mount_point);
            return RunProgram(programs.mount, arguments);
        }
        case MapLocationKind::Invalid:
            break;
    }
    return {false, "Not a network location: " + std::string(location)};
}

}  // namespace korvane
