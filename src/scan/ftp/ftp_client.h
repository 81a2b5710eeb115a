// The program's own FTP client: log in, change directory, list a directory
// into a temporary file, retrieve a file, log out. Plain ASCII commands
// ending in CR LF on the control connection; active (PORT) or passive (PASV)
// data connections; every wait bounded (net_socket.h). On failure the caller
// gets the server's last reply text when there is one, otherwise it words a
// message from LastNetError() (net_error.h): 0 there means the server said no.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "scan/ftp/ftp_reply_reader.h"
#include "scan/ftp/net_socket.h"

namespace korvane {

// Seconds. These are the program's values; tests pass shorter ones.
struct FtpTimeouts {
    int connect = 30;       // control connection and passive data connection
    int send = 30;          // each command
    int accept = 30;        // the server's active-mode data connection
    int data_receive = 30;  // each block on a data connection
    int reply = 60;         // waiting for, and receiving, reply text
};

// A listing bigger than this is refused (kNetErrorMessageSize): a server that
// sends endless listing data cannot fill the disk. Retrievals are bounded by
// the caller's max_bytes only, as any size may be legitimate.
inline constexpr std::uint64_t kFtpMaxListingBytes = std::uint64_t{1} << 30;

// Non-zero means: stop the transfer now. Typically a progress window's cancel poll.
using FtpAbortCallback = std::function<int()>;
// Receives the running byte count of a transfer, and "" when it starts.
using FtpStatusCallback = std::function<void(std::string_view)>;

// One control connection. A fresh object is disconnected; FtpLogin connects
// it, FtpClose logs out and disconnects it (the destructor only closes the
// sockets). Timeouts, the abort callback, the temporary folder and the
// listing bound may be set at any time.
struct FtpConnection {
    FtpConnection() = default;
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    FtpReplyReader replies;  // complete replies not yet taken, oldest first, and what follows them
    SocketHandle control;    // invalid when not connected
    FtpAbortCallback abort_callback;
    SocketHandle data;        // listening or connected data socket of the current transfer
    in_addr local_address{};  // of the control connection; data sockets bind to it
    in_addr peer_address{};   // the server the control connection reached; passive data goes there too
    bool logged_in = false;
    int aborted = 0;                // the abort callback's last result
    std::uint64_t transferred = 0;  // bytes of the last transfer
    std::string last_reply;         // text of the last reply taken
    FtpTimeouts timeouts;
    std::string temp_folder;  // listings go here; empty: the system's temporary folder
    std::uint64_t max_listing_bytes = kFtpMaxListingBytes;
};

// Connects and logs in: greeting "220", "USER %s\r\n" -> "331", "PASS %s\r\n"
// -> "230", then "CWD %s\r\n" -> "250" when an initial directory is given. A
// server that accepts the user without a password (230 to USER) is refused.
// Port 0 means the standard FTP port 21. On failure reply_out (if given)
// receives the last reply text, empty when there was none.
bool FtpLogin(FtpConnection& connection, std::string_view host, std::string_view initial_directory,
              std::string_view user, std::string_view password, int port, std::string* reply_out);

// Sends one command line (text ending in CR LF, no other CR, LF or NUL: a
// name cannot smuggle a second command in) and takes the next reply.
bool FtpCommand(FtpConnection& connection, std::string_view command, std::string_view expected_code,
                std::string* reply_out);

// Takes the oldest reply, reading from the control connection when none is
// queued. With an expected code success means the reply starts with it;
// with an empty one, that the reply starts with "1", "2" or "3".
bool FtpTakeReply(FtpConnection& connection, std::string_view expected_code, std::string* reply_out);

// "PASV\r\n" -> "227" and the address it names.
bool FtpPassive(FtpConnection& connection, sockaddr_in& address);
// "PORT h1,h2,h3,h4,p1,p2\r\n" for the given local data address -> "200".
bool FtpPort(FtpConnection& connection, const sockaddr_in& local_data_address);

// Listing (listing true): lists the current directory, or the remote
// argument when it is not empty, into a new temporary file named "dir..."
// whose path goes to local_file. Retrieval: fetches the remote file into
// local_file, replacing it (a partial file is removed on failure). The abort
// callback is polled before every block; a non-zero answer stops the
// transfer with failure and stays in connection.aborted. After a failure in
// the data phase the server's closing reply is still taken, so the next
// command gets its own reply.
bool FtpTransfer(FtpConnection& connection, std::string& local_file, std::string_view remote, bool listing,
                 bool passive, std::string* reply_out, const FtpStatusCallback& status = {},
                 std::uint64_t max_bytes = 0);

// Closes the data socket; sends "QUIT\r\n" when logged in (its "221" is
// awaited but not required); closes the control connection, drops queued
// replies and sets the last network error to 0.
void FtpClose(FtpConnection& connection);

// The address and port inside the parentheses of a 227 reply:
// "(h1,h2,h3,h4,p1,p2)", port (p1 mod 256) * 256 + (p2 mod 256).
bool ParsePassiveReply(std::string_view reply, sockaddr_in& address);
// "PORT h1,h2,h3,h4,p1,p2\r\n", address bytes in network order, then the port's high and low byte.
std::string FormatPortCommand(const sockaddr_in& address);

}  // namespace korvane
