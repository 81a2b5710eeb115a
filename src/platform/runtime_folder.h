// The per-user folder for the instance lock and the local sockets.
#pragma once

#include <string>

namespace korvane {

// $XDG_RUNTIME_DIR when the session has one. Runs without a login session
// (cron, ssh, a scheduler started by hand) have none; they use a private
// folder "korvane-<uid>" in $TMPDIR (else /tmp), made with mode 0700. An
// existing folder of that name is used only when it is a real directory
// owned by this user and closed to others, so nobody can plant a lock or a
// socket there. Empty when no such folder can be had.
std::string RuntimeFolder();

// Sets XDG_RUNTIME_DIR to RuntimeFolder() when it is unset, so Qt (which
// would warn and pick a folder of its own), child processes and the
// scheduler all agree on one folder. False when no folder could be had.
bool ExportRuntimeFolder();

}  // namespace korvane
