#include "platform/network_connections.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <fstream>
#include <set>
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

// The name of the prompt gio waits at, from what it wrote since its last
// answer: "Name: " or "Name [default]: " at the end of a line (gio does not
// translate these names). Empty while the text is no prompt (or only part
// of one).
std::string PromptName(std::string_view text) {
    if (const std::size_t newline = text.rfind('\n'); newline != std::string_view::npos)
        text = text.substr(newline + 1);
    if (!text.ends_with(": "))
        return {};
    std::string_view name = text.substr(0, text.size() - 2);
    if (name.ends_with(']')) {
        const std::size_t open = name.rfind(" [");
        if (open == std::string_view::npos)
            return {};
        name = name.substr(0, open);
    }
    return std::string(name);
}

// The last line of gio's output that is a message, not a prompt ("Enter
// user and password for share ..."): what the event log keeps of a refusal.
std::string LastMessageLine(std::string_view said) {
    std::string last;
    std::size_t at = 0;
    while (at < said.size()) {
        std::size_t end = said.find('\n', at);
        if (end == std::string_view::npos)
            end = said.size();
        const std::string_view line = said.substr(at, end - at);
        const std::string words =
            QByteArray(line.data(), static_cast<qsizetype>(line.size())).trimmed().toStdString();
        if (!words.empty() && PromptName(line).empty())
            last = words;
        at = end + 1;
    }
    return last;
}

std::string ErrorTextOf(QProcess& process, const std::string& program, std::string_view said) {
    std::string text = Trimmed(process.readAllStandardError());
    if (text.empty())
        text = QByteArray(said.data(), static_cast<qsizetype>(said.size())).trimmed().toStdString();
    if (text.empty())
        text = program + " ended with code " + std::to_string(process.exitCode());
    return text;
}

// Ends a child that would not end by itself.
void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(1000);
}

// "gio mount [--anonymous] ADDRESS", reading gio's output as it comes and
// writing the answer to each prompt it knows once. A prompt asked again
// (the answers were refused), one with no answer (a guest asked for a name,
// a question) or the time running out ends gio instead of leaving it
// waiting at its prompt.
ProgramOutcome MountAddress(const NetworkPrograms& programs, std::string_view address,
                            const MapCredentials& credentials) {
    const UserAndDomain name = SplitUserName(address, credentials.user);
    const std::vector<std::pair<std::string, std::string>> answers = {
        {"User", name.user}, {"Domain", name.domain}, {"Password", credentials.password}};
    QStringList arguments = {QStringLiteral("mount")};
    if (credentials.as_guest)
        arguments << QStringLiteral("--anonymous");
    arguments << QString::fromStdString(std::string(address));
    QProcess gio;
    gio.start(QString::fromStdString(programs.gio), arguments);
    ProgramOutcome outcome;
    if (!gio.waitForStarted(programs.map_timeout_ms)) {
        outcome.error_text = programs.gio + ": " + gio.errorString().toStdString();
        return outcome;
    }
    const QDeadlineTimer deadline(programs.map_timeout_ms);
    std::string said;             // gio's output: its messages and prompts, never an answer
    std::size_t answered_to = 0;  // where gio's output after the last answer starts
    std::set<std::string> asked;
    std::string unanswered;  // the prompt gio was left at, with its input closed
    while (gio.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        gio.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
        said += gio.readAllStandardOutput().toStdString();
        if (!unanswered.empty())
            continue;
        const std::string prompt = PromptName(std::string_view(said).substr(answered_to));
        if (prompt.empty())
            continue;
        const auto answer = std::find_if(answers.begin(), answers.end(),
                                         [&](const auto& known) { return known.first == prompt; });
        if (credentials.as_guest || answer == answers.end() || !asked.insert(prompt).second) {
            unanswered = prompt;
            gio.closeWriteChannel();  // gio gives up at the end of its input
            continue;
        }
        gio.write(QByteArray::fromStdString(answer->second + "\n"));
        answered_to = said.size();
    }
    if (gio.state() != QProcess::NotRunning) {
        Stop(gio);
        outcome.error_text = programs.gio + ": did not finish in time";
        return outcome;
    }
    said += gio.readAllStandardOutput().toStdString();
    outcome.ok = unanswered.empty() && gio.exitStatus() == QProcess::NormalExit && gio.exitCode() == 0;
    if (outcome.ok)
        return outcome;
    if (unanswered.empty()) {
        outcome.error_text = ErrorTextOf(gio, programs.gio, said);
        return outcome;
    }
    outcome.program_text = programs.gio + ": " + LastMessageLine(said);
    if (credentials.as_guest)
        outcome.error_text = "This location does not let guests in; give a name and password.";
    else if (asked.count(unanswered) != 0 && credentials.user.empty() && credentials.password.empty())
        outcome.error_text = "This location asks for a name and password.";
    else if (asked.count(unanswered) != 0)
        outcome.error_text = "The name or password was not accepted.";
    else
        outcome.error_text = "gio asked \"" + unanswered + "\", which Korvane cannot answer.";
    return outcome;
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

UserAndDomain SplitUserName(std::string_view location, std::string_view user) {
    const bool smb = QString::fromUtf8(location.data(), static_cast<qsizetype>(location.size()))
                         .startsWith(QStringLiteral("smb://"), Qt::CaseInsensitive);
    if (smb) {
        if (const std::size_t slash = user.find('\\'); slash != std::string_view::npos)
            return {std::string(user.substr(slash + 1)), std::string(user.substr(0, slash))};
        if (const std::size_t at = user.rfind('@'); at != std::string_view::npos)
            return {std::string(user.substr(0, at)), std::string(user.substr(at + 1))};
    }
    return {std::string(user), {}};
}

ProgramOutcome MapNetworkDrive(const NetworkPrograms& programs, std::string_view location,
                               std::string_view mount_point, const MapCredentials& credentials) {
    switch (KindOfMapLocation(location)) {
        case MapLocationKind::Address:
            return MountAddress(programs, location, credentials);
        case MapLocationKind::Share: {
            if (mount_point.empty() || mount_point[0] != '/')
                return {false, "A mount point must be an absolute folder.", {}};
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
    return {false, "Not a network location: " + std::string(location), {}};
}

}  // namespace korvane
