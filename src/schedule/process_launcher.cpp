#include "schedule/process_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <cstring>

extern char** environ;

namespace korvane {
namespace {

// posix_spawn attributes and file actions, destroyed when they go.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    bool has_attributes = false, has_actions = false;
    ~SpawnSetup() {
        if (has_actions)
            posix_spawn_file_actions_destroy(&actions);
        if (has_attributes)
            posix_spawnattr_destroy(&attributes);
    }
};

}  // namespace

bool StartDetached(const std::vector<std::string>& argv, pid_t& pid, std::string& error) {
    if (argv.empty() || argv.front().empty()) {
        error = "no program to start";
        return false;
    }
    SpawnSetup setup;
    int rc = posix_spawnattr_init(&setup.attributes);
    if (rc == 0) {
        setup.has_attributes = true;
        rc = posix_spawn_file_actions_init(&setup.actions);
    }
    if (rc == 0) {
        setup.has_actions = true;
        // The scheduler keeps its signals blocked for its own loop; the job
        // starts with none blocked and every handled signal at its default.
        sigset_t empty, defaults;
        sigemptyset(&empty);
        sigemptyset(&defaults);
        for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP, SIGPIPE})
            sigaddset(&defaults, signal);
        rc = posix_spawnattr_setsigmask(&setup.attributes, &empty);
        if (rc == 0)
            rc = posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
        if (rc == 0) {
            rc = posix_spawnattr_setflags(
                &setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        }
        if (rc == 0)
            rc = posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (rc != 0) {
        error = std::strerror(rc);
        return false;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    rc = posix_spawnp(&pid, args.front(), &setup.actions, &setup.attributes, args.data(), environ);
    if (rc != 0) {
        error = std::strerror(rc);
        return false;
    }
    return true;
}

}  // namespace korvane
