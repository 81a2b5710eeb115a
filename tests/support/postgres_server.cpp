#include "support/postgres_server.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "test_paths.h"

extern char** environ;

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBinFolder = "/usr/lib/postgresql/15/bin/";
constexpr const char* kRecordFile = "server-folder";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a program with its output appended to log, as "nobody" when this
// process is root. True when it exits with status 0.
bool RunLogged(std::vector<std::string> args, const fs::path& log, std::string& error) {
    const std::string program = args[0];
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            error = "no user \"nobody\" to run the server as";
            return false;
        }
        std::vector<std::string> wrapped = {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                                            "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups",
                                            "--"};
        wrapped.insert(wrapped.end(), args.begin(), args.end());
        args = std::move(wrapped);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot start " + program;
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = "lost " + program;
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = program + " failed:\n" + ReadAll(log);
        return false;
    }
    return true;
}

bool GiveToNobody(const fs::path& folder, std::string& error) {
    if (geteuid() != 0) {
        return true;
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        error = "cannot give " + folder.string() + " to nobody";
        return false;
    }
    return true;
}

// Makes a server in a new temporary folder (data, socket and logs) and starts
// it. Returns the folder, or "" with error.
std::string StartServerFolder(std::string& error) {
    std::string pattern = (fs::temp_directory_path() / "korvane-pg-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a folder for the server";
        return {};
    }
    const fs::path folder = pattern;
    const fs::path data = folder / "data";
    const fs::path log = folder / "commands.log";
    std::error_code ignored;
    if (!GiveToNobody(folder, error) ||
        !RunLogged({std::string(kBinFolder) + "initdb", "-D", data.string(), "-U", "postgres", "-A", "trust",
                    "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"},
                   log, error)) {
        fs::remove_all(folder, ignored);
        return {};
    }
    {
        std::ofstream conf(data / "postgresql.conf", std::ios::app);
        conf << "\nlisten_addresses = ''\nunix_socket_directories = '" << folder.string()
             << "'\nfsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
             << "max_connections = 60\nshared_buffers = 32MB\n";
        if (!conf) {
            error = "cannot write the server's settings";
            fs::remove_all(folder, ignored);
            return {};
        }
    }
    if (!RunLogged({std::string(kBinFolder) + "pg_ctl", "start", "-w", "-t", "60", "-D", data.string(), "-l",
                    (folder / "server.log").string()},
                   log, error)) {
        error += ReadAll(folder / "server.log");
        fs::remove_all(folder, ignored);
        return {};
    }
    return folder.string();
}

bool StopServerFolder(const std::string& folder, std::string& error) {
    const fs::path data = fs::path(folder) / "data";
    bool stopped = true;
    if (fs::exists(data / "postmaster.pid")) {
        stopped = RunLogged(
            {std::string(kBinFolder) + "pg_ctl", "stop", "-w", "-t", "60", "-m", "fast", "-D", data.string()},
            fs::path(folder) / "commands.log", error);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return stopped;
}

std::string ConnectionString(const std::string& socket_folder, const std::string& database) {
    return "postgresql://postgres@/" + database + "?host=" + socket_folder + "&port=5432";
}

struct ConnectionCloser {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;

Connection ConnectTo(const std::string& uri, std::string& error) {
    Connection connection(PQconnectdb(uri.c_str()));
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        error = PQerrorMessage(connection.get());
        return nullptr;
    }
    return connection;
}

bool Execute(PGconn* connection, const std::string& sql, std::string& error) {
    PGresult* result = PQexec(connection, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok) {
        error = PQerrorMessage(connection);
    }
    PQclear(result);
    return ok;
}

constexpr const char* kOwnerFile = "owner-pid";

// Stops the private servers of test programs that ended without stopping
// them (killed, or aborted by a sanitizer).
void StopOrphanedServers() {
    std::error_code failed;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::temp_directory_path(), failed)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("korvane-pg-")) {
            continue;
        }
        const std::string owner = ReadAll(entry.path() / kOwnerFile);
        const pid_t pid = static_cast<pid_t>(std::atol(owner.c_str()));
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) {
            std::string ignored;
            StopServerFolder(entry.path().string(), ignored);
        }
    }
}

// A server of this program's own, for runs outside ctest; stopped at exit.
class PrivateServer {
  public:
    PrivateServer() {
        StopOrphanedServers();
        folder_ = StartServerFolder(error_);
        if (!folder_.empty()) {
            std::ofstream(fs::path(folder_) / kOwnerFile) << owner_;
        }
    }
    ~PrivateServer() {
        // A forked child that exits normally leaves its parent's server alone.
        if (!folder_.empty() && getpid() == owner_) {
            std::string ignored;
            StopServerFolder(folder_, ignored);
        }
    }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;
    const std::string& folder() const { return folder_; }
    const std::string& error() const { return error_; }

  private:
    pid_t owner_ = getpid();
    std::string folder_;
    std::string error_;
};

// The socket folder of the ctest run's server when it answers, else of this
// program's private server.
std::string ServerSocketFolder(std::string& error) {
    const std::string recorded = ReadAll(fs::path(SharedPostgresRecordFolder()) / kRecordFile);
    if (!recorded.empty()) {
        std::string ignored;
        if (ConnectTo(ConnectionString(recorded, "postgres"), ignored) != nullptr) {
            return recorded;
        }
    }
    static const PrivateServer private_server;
    error = private_server.error();
    return private_server.folder();
}

}  // namespace

std::string SharedPostgresRecordFolder() {
    return KORVANE_BINARY_DIR "/postgres-test-server";
}

bool StartRecordedPostgresServer(const std::string& record_folder, std::string& error) {
    StopRecordedPostgresServer(record_folder, error);
    error.clear();
    std::error_code failed;
    fs::create_directories(record_folder, failed);
    const std::string folder = StartServerFolder(error);
    if (folder.empty()) {
        return false;
    }
    std::ofstream record(fs::path(record_folder) / kRecordFile, std::ios::trunc);
    record << folder;
    if (!record) {
        error = "cannot record the server in " + record_folder;
        StopServerFolder(folder, error);
        return false;
    }
    return true;
}

bool StopRecordedPostgresServer(const std::string& record_folder, std::string& error) {
    const fs::path record = fs::path(record_folder) / kRecordFile;
    const std::string folder = ReadAll(record);
    std::error_code ignored;
    fs::remove(record, ignored);
    return folder.empty() || StopServerFolder(folder, error);
}

std::string FreshPostgresDatabase(std::string& error) {
    const std::string socket_folder = ServerSocketFolder(error);
    if (socket_folder.empty()) {
        return {};
    }
    Connection admin = ConnectTo(ConnectionString(socket_folder, "postgres"), error);
    if (admin == nullptr) {
        return {};
    }
    static std::atomic<int> made{0};
    const std::string name = "korvane_test_" + std::to_string(getpid()) + "_" + std::to_string(++made);
    if (!Execute(admin.get(), "CREATE DATABASE " + name, error)) {
        return {};
    }
    return ConnectionString(socket_folder, name);
}

bool DropPostgresDatabase(const std::string& uri, std::string& error) {
    const std::size_t slash = uri.find("@/");
    const std::size_t query = uri.find('?');
    if (slash == std::string::npos || query == std::string::npos) {
        error = "not a test database: " + uri;
        return false;
    }
    const std::string name = uri.substr(slash + 2, query - slash - 2);
    const std::string socket_folder =
        uri.substr(uri.find("host=") + 5, uri.find('&') - uri.find("host=") - 5);
    Connection admin = ConnectTo(ConnectionString(socket_folder, "postgres"), error);
    return admin != nullptr &&
           Execute(admin.get(), "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)", error);
}

void PostgresTestConnection::Closer::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

bool PostgresTestConnection::Connect(const std::string& uri, std::string& error) {
    connection_.reset(PQconnectdb(uri.c_str()));
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
        error = PQerrorMessage(connection_.get());
        connection_.reset();
        return false;
    }
    return true;
}

bool PostgresTestConnection::Execute(const std::string& sql, std::string& error) {
    return connection_ != nullptr && korvane::testing::Execute(connection_.get(), sql, error);
}

bool PostgresTestConnection::Query(const std::string& sql, std::vector<Row>& rows, std::string& error) {
    rows.clear();
    if (connection_ == nullptr) {
        error = "not connected";
        return false;
    }
    PGresult* result = PQexec(connection_.get(), sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    if (!ok) {
        error = PQerrorMessage(connection_.get());
    } else {
        for (int r = 0; r < PQntuples(result); ++r) {
            Row row;
            for (int c = 0; c < PQnfields(result); ++c) {
                if (PQgetisnull(result, r, c)) {
                    row.emplace_back(std::nullopt);
                } else {
                    row.emplace_back(std::string(PQgetvalue(result, r, c), PQgetlength(result, r, c)));
                }
            }
            rows.push_back(std::move(row));
        }
    }
    PQclear(result);
    return ok;
}

}  // namespace korvane::testing
