#include "scan/ftp/ftp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "scan/ftp/net_error.h"

namespace korvane {

namespace {

constexpr int kDefaultFtpPort = 21;
constexpr std::size_t kReceiveChunk = 64 * 1024;
// Bigger than the classic 2048-byte blocks: fewer waits per megabyte, and the
// abort callback is still polled many times a second.
constexpr std::size_t kTransferBlock = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsPositive(std::string_view reply) {
    return !reply.empty() && (reply[0] == '1' || reply[0] == '2' || reply[0] == '3');
}

// Reads from the control connection until at least one reply is complete.
bool ReadReplies(FtpConnection& connection) {
    const int fd = connection.control.Get();
    if (fd < 0) {
        SetLastNetError(kNetErrorNotConnected);
        return false;
    }
    if (connection.replies.Overflowed()) {
        SetLastNetError(kNetErrorMessageSize);
        return false;
    }
    std::vector<char> buffer;
    while (!connection.replies.HasReply()) {
        if (WaitUntilReadable(fd, connection.timeouts.reply) != 1)
            return false;
        std::size_t waiting = BytesWaiting(fd);
        // Nothing waiting on a readable socket is an end of stream or an
        // error; the receive below tells which.
        std::size_t want = waiting == 0 ? 1 : (waiting < kReceiveChunk ? waiting : kReceiveChunk);
        buffer.resize(want);
        ssize_t got = ::recv(fd, buffer.data(), want, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            StoreErrnoAsNetError();
            return false;
        }
        if (got == 0) {
            SetLastNetError(kNetErrorConnectionReset);
            return false;
        }
        if (!connection.replies.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            SetLastNetError(kNetErrorMessageSize);
            return false;
        }
    }
    return true;
}

bool IsCommandLine(std::string_view command) {
    if (command.size() < 3 || command.substr(command.size() - 2) != "\r\n")
        return false;
    std::string_view body = command.substr(0, command.size() - 2);
    return body.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string CommandWithArgument(std::string_view verb, std::string_view argument) {
    std::string text(verb);
    if (!argument.empty())
        text.append(" ").append(argument);
    text.append("\r\n");
    return text;
}

// Resets everything but the settings (timeouts, callback, folder, bound).
void ResetConnection(FtpConnection& connection) {
    connection.data.Close();
    connection.control.Close();
    connection.replies.Reset();
    connection.local_address = in_addr{};
    connection.peer_address = in_addr{};
    connection.logged_in = false;
    connection.aborted = 0;
    connection.transferred = 0;
    connection.last_reply.clear();
}

bool BindToLocalAddress(int fd, in_addr address) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        StoreErrnoAsNetError();
        return false;
    }
    return true;
}

bool LoginSteps(FtpConnection& connection, std::string_view host, std::string_view initial_directory,
                std::string_view user, std::string_view password, int port) {
    if (port == 0)
        port = kDefaultFtpPort;
    if (port < 0 || port > 65535) {
        SetLastNetError(kNetErrorInvalid);
        return false;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!ResolveHostIPv4(host, server.sin_addr))
        return false;

    connection.control = MakeTcpSocket();
    if (!connection.control.Valid())
        return false;
    const int fd = connection.control.Get();
    if (!BindToLocalAddress(fd, in_addr{htonl(INADDR_ANY)}))
        return false;
    if (!ConnectWithTimeout(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server,
                            connection.timeouts.connect))
        return false;
    sockaddr_in local{};
    if (!LocalAddressOf(fd, local))
        return false;
    connection.local_address = local.sin_addr;
    connection.peer_address = server.sin_addr;

    if (!FtpTakeReply(connection, "220", nullptr))
        return false;
    if (!FtpCommand(connection, CommandWithArgument("USER", user), "331", nullptr))
        return false;
    if (!FtpCommand(connection, CommandWithArgument("PASS", password), "230", nullptr))
        return false;
    if (!initial_directory.empty() &&
        !FtpCommand(connection, CommandWithArgument("CWD", initial_directory), "250", nullptr))
        return false;
    return true;
}

std::string TemporaryFolder(const FtpConnection& connection) {
    if (!connection.temp_folder.empty())
        return connection.temp_folder;
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/") : folder.string();
}

// One transfer's sockets and file; whatever is still open when it ends is
// closed, and a file not handed over is removed.
struct TransferState {
    FtpConnection& connection;
    FilePtr file;
    std::string path;
    bool keep_file = false;
    // The server announced the data (1xx) and its closing reply is still due.
    bool closing_reply_due = false;

    ~TransferState() {
        file.reset();
        connection.data.Close();
        if (!keep_file && !path.empty())
            ::unlink(path.c_str());
    }
};

bool OpenDataConnection(FtpConnection& connection, bool passive) {
    connection.data = MakeTcpSocket();
    if (!connection.data.Valid())
        return false;
    if (!BindToLocalAddress(connection.data.Get(), connection.local_address))
        return false;
    if (passive) {
        sockaddr_in server{};
        if (!FtpPassive(connection, server))
            return false;
        return ConnectWithTimeout(connection.data.Get(), reinterpret_cast<const sockaddr*>(&server),
                                  sizeof server, connection.timeouts.connect);
    }
    sockaddr_in local{};
    if (!LocalAddressOf(connection.data.Get(), local))
        return false;
    // Listening before PORT is sent: the server may connect as soon as it has it.
    if (::listen(connection.data.Get(), 5) != 0) {
        StoreErrnoAsNetError();
        return false;
    }
    return FtpPort(connection, local);
}

// A retrieval is written to a new file beside its target and renamed over it
// only once the server has sent everything: a refused or broken transfer never
// truncates or removes a file that was already there.
bool OpenPartFileBeside(TransferState& state, const std::string& target) {
    std::string pattern = target + ".part-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        StoreErrnoAsNetError();
        return false;
    }
    state.path = pattern;
    // mkostemp makes the file private; a download gets the mode a new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    state.file.reset(::fdopen(fd, "wb"));
    if (!state.file) {
        ::close(fd);
        StoreErrnoAsNetError();
        return false;
    }
    return true;
}

bool ReceiveData(TransferState& state, const FtpStatusCallback& status, std::uint64_t max_bytes) {
    FtpConnection& connection = state.connection;
    const int fd = connection.data.Get();
    std::vector<char> block(kTransferBlock);
    for (;;) {
        if (status)
            status(std::to_string(connection.transferred));
        if (connection.abort_callback) {
            connection.aborted = connection.abort_callback();
            if (connection.aborted != 0)
                return false;
        }
        // A data connection that stays silent is a failed transfer, not a
        // complete one.
        if (WaitUntilReadable(fd, connection.timeouts.data_receive) != 1)
            return false;
        ssize_t got = ::recv(fd, block.data(), block.size(), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            StoreErrnoAsNetError();
            return false;
        }
        if (got == 0)
            return true;
        const auto count = static_cast<std::size_t>(got);
        if (max_bytes != 0 && connection.transferred + count > max_bytes) {
            SetLastNetError(kNetErrorMessageSize);
            return false;
        }
        if (std::fwrite(block.data(), 1, count, state.file.get()) != count) {
            SetLastNetError(kNetErrorNoBuffers);
            return false;
        }
        connection.transferred += count;
    }
}

bool TransferSteps(TransferState& state, std::string& local_file, std::string_view remote, bool listing,
                   bool passive, const FtpStatusCallback& status, std::uint64_t max_bytes) {
    FtpConnection& connection = state.connection;
    if (!connection.control.Valid()) {
        SetLastNetError(kNetErrorNotConnected);
        return false;
    }
    if (!listing && remote.empty()) {
        SetLastNetError(kNetErrorInvalid);
        return false;
    }
    if (!OpenDataConnection(connection, passive))
        return false;
    if (!FtpCommand(connection, listing ? "TYPE A\r\n" : "TYPE I\r\n", "200", nullptr))
        return false;

    // The local file is made before the server is asked for anything, so a
    // local failure leaves the control connection in step.
    if (listing) {
        std::string pattern = TemporaryFolder(connection);
        if (pattern.empty() || pattern.back() != '/')
            pattern.push_back('/');
        pattern.append("dirXXXXXX");
        int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            StoreErrnoAsNetError();
            return false;
        }
        state.path = pattern;
        state.file.reset(::fdopen(fd, "wb"));
        if (!state.file) {
            ::close(fd);
            StoreErrnoAsNetError();
            return false;
        }
    } else if (!OpenPartFileBeside(state, local_file)) {
        return false;
    }

    std::string reply;
    const std::string command = CommandWithArgument(listing ? "LIST" : "RETR", remote);
    if (!FtpCommand(connection, command, "", &reply))
        return false;
    state.closing_reply_due = reply[0] == '1';

    if (!passive) {
        SocketHandle accepted =
            AcceptWithTimeout(connection.data.Get(), nullptr, nullptr, connection.timeouts.accept);
        if (!accepted.Valid())
            return false;
        connection.data = std::move(accepted);
    }
    if (!ReceiveData(state, status,
                     listing ? (max_bytes ? max_bytes : connection.max_listing_bytes) : max_bytes))
        return false;

    const bool written = std::fclose(state.file.release()) == 0;
    connection.data.Close();
    if (!written) {
        SetLastNetError(kNetErrorNoBuffers);
        return false;
    }
    state.closing_reply_due = false;
    if (!FtpTakeReply(connection, "226", nullptr))
        return false;
    if (!listing && ::rename(state.path.c_str(), local_file.c_str()) != 0) {
        StoreErrnoAsNetError();
        return false;
    }
    state.keep_file = true;
    if (listing)
        local_file = state.path;
    return true;
}

}  // namespace

bool FtpTakeReply(FtpConnection& connection, std::string_view expected_code, std::string* reply_out) {
    if (reply_out)
        reply_out->clear();
    if (!connection.replies.HasReply() && !ReadReplies(connection))
        return false;
    connection.last_reply = connection.replies.TakeReply();
    if (reply_out)
        *reply_out = connection.last_reply;
    std::string_view reply = connection.last_reply;
    if (expected_code.empty())
        return IsPositive(reply);
    return reply.size() >= expected_code.size() && reply.substr(0, expected_code.size()) == expected_code;
}

bool FtpCommand(FtpConnection& connection, std::string_view command, std::string_view expected_code,
                std::string* reply_out) {
    if (reply_out)
        reply_out->clear();
    if (!IsCommandLine(command)) {
        SetLastNetError(kNetErrorInvalid);
        return false;
    }
    if (!connection.control.Valid()) {
        SetLastNetError(kNetErrorNotConnected);
        return false;
    }
    if (!SendWithTimeout(connection.control.Get(), command.data(), command.size(), 0,
                         connection.timeouts.send))
        return false;
    return FtpTakeReply(connection, expected_code, reply_out);
}

bool FtpLogin(FtpConnection& connection, std::string_view host, std::string_view initial_directory,
              std::string_view user, std::string_view password, int port, std::string* reply_out) {
    ResetConnection(connection);
    const bool ok = LoginSteps(connection, host, initial_directory, user, password, port);
    connection.logged_in = ok;
    if (reply_out)
        *reply_out = ok ? std::string() : connection.last_reply;
    return ok;
}

bool ParsePassiveReply(std::string_view reply, sockaddr_in& address) {
    const std::size_t open = reply.find('(');
    if (open == std::string_view::npos)
        return false;
    const std::size_t close = reply.find(')', open + 1);
    if (close == std::string_view::npos)
        return false;
    std::string_view inside = reply.substr(open + 1, close - open - 1);

    unsigned values[6] = {};
    for (int i = 0; i < 6; ++i) {
        std::size_t comma = inside.find(',');
        if ((comma == std::string_view::npos) != (i == 5))
            return false;
        std::string_view field = inside.substr(0, comma);
        while (!field.empty() && field.front() == ' ')
            field.remove_prefix(1);
        while (!field.empty() && field.back() == ' ')
            field.remove_suffix(1);
        if (field.empty() || field.size() > 9)
            return false;
        unsigned value = 0;
        for (char c : field) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (i < 4 && value > 255)
            return false;
        values[i] = value;
        inside.remove_prefix(comma == std::string_view::npos ? inside.size() : comma + 1);
    }
    const unsigned port = (values[4] % 256) * 256 + values[5] % 256;
    if (port == 0)
        return false;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl((values[0] << 24) | (values[1] << 16) | (values[2] << 8) | values[3]);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return true;
}

std::string FormatPortCommand(const sockaddr_in& address) {
    const std::uint32_t host = ntohl(address.sin_addr.s_addr);
    const std::uint16_t port = ntohs(address.sin_port);
    char text[64];
    std::snprintf(text, sizeof text, "PORT %u,%u,%u,%u,%u,%u\r\n", (host >> 24) & 0xff, (host >> 16) & 0xff,
                  (host >> 8) & 0xff, host & 0xff, (port >> 8) & 0xff, port & 0xff);
    return text;
}

bool FtpPassive(FtpConnection& connection, sockaddr_in& address) {
    std::string reply;
    if (!FtpCommand(connection, "PASV\r\n", "227", &reply))
        return false;
    if (!ParsePassiveReply(reply, address)) {
        // Not a refusal: the server answered with something unusable.
        SetLastNetError(kNetErrorInvalid);
        return false;
    }
    // Only the port is taken from the reply: a server naming another host
    // would make us connect wherever it likes (a bounce), and one behind NAT
    // names an address we cannot reach anyway.
    address.sin_addr = connection.peer_address;
    return true;
}

bool FtpPort(FtpConnection& connection, const sockaddr_in& local_data_address) {
    return FtpCommand(connection, FormatPortCommand(local_data_address), "200", nullptr);
}

bool FtpTransfer(FtpConnection& connection, std::string& local_file, std::string_view remote, bool listing,
                 bool passive, std::string* reply_out, const FtpStatusCallback& status,
                 std::uint64_t max_bytes) {
    if (status)
        status("");
    if (listing)
        local_file.clear();
    connection.aborted = 0;
    connection.transferred = 0;
    connection.last_reply.clear();
    bool ok;
    {
        TransferState state{connection, nullptr, std::string()};
        ok = TransferSteps(state, local_file, remote, listing, passive, status, max_bytes);
        if (!ok && state.closing_reply_due) {
            // Closing our end makes the server end the transfer; its reply
            // (426, or 226 if it had finished) is taken here so that the next
            // command does not receive it.
            state.file.reset();
            connection.data.Close();
            const int error = LastNetError();
            FtpTakeReply(connection, "", nullptr);
            SetLastNetError(error);
        }
    }
    if (reply_out)
        *reply_out = connection.last_reply;
    return ok;
}

void FtpClose(FtpConnection& connection) {
    connection.data.Close();
    if (connection.control.Valid()) {
        if (connection.logged_in) {
            static constexpr std::string_view kQuit = "QUIT\r\n";
            if (SendWithTimeout(connection.control.Get(), kQuit.data(), kQuit.size(), 0,
                                connection.timeouts.send))
                FtpTakeReply(connection, "221", nullptr);
        }
        connection.control.Close();
    }
    connection.replies.Reset();
    connection.logged_in = false;
    SetLastNetError(kNetErrorNone);
}

}  // namespace korvane
