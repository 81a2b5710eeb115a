#include "ftp_test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace korvane::testing {

namespace {

// Serves argv[1] on 127.0.0.1 and writes the port to argv[2]; ends by itself
// when the test program that started it goes away.
constexpr const char* kServerScript = R"(import logging, os, sys, threading, time
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, port_file, user, password = sys.argv[1:5]
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elr")
authorizer.add_anonymous(root)
handler = FTPHandler
handler.authorizer = authorizer
handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), handler)
with open(port_file + ".part", "w") as out:
    out.write(str(server.socket.getsockname()[1]))
os.rename(port_file + ".part", port_file)
parent = os.getppid()

def watch_parent():
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)

threading.Thread(target=watch_parent, daemon=True).start()
server.serve_forever()
)";

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& log_path) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

std::string FindPyFtpdlibPython() {
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        pid_t pid = Spawn({candidate, "-c", "import pyftpdlib"}, "/dev/null");
        if (pid < 0)
            continue;
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return candidate;
    }
    return std::string();
}

FtpTestServer::~FtpTestServer() {
    Stop();
}

bool FtpTestServer::Start(const std::string& python, const std::string& root, const std::string& work_folder,
                          std::string& why) {
    const std::string script = work_folder + "/ftp_server.py";
    const std::string port_file = work_folder + "/ftp_server.port";
    const std::string log = work_folder + "/ftp_server.log";
    if (!WriteFileBytes(script, kServerScript)) {
        why = "cannot write " + script;
        return false;
    }
    pid_ = Spawn({python, script, root, port_file, kFtpTestUser, kFtpTestPassword}, log);
    if (pid_ < 0) {
        why = "cannot start " + python;
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        const std::string text = ReadFileBytes(port_file);
        if (!text.empty()) {
            port_ = std::stoi(text);
            return true;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "the FTP server did not start: " + ReadFileBytes(log);
    Stop();
    return false;
}

void FtpTestServer::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

}  // namespace korvane::testing
