// The machine's network connections as the volume selection uses them: the
// remembered ones are the network-type entries of the fstab, the connected
// ones the network mounts of the mount table. Connecting and disconnecting
// run mount and umount as child processes; mapping a new location goes
// through gio for addresses and mount for share names. The fstab path and
// the programs are given, so tests can use a private fstab.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mount_table.h"
#include "platform/volumes.h"

namespace korvane {

struct NetworkConnection {
    std::string mount_point;  // the local name
    std::string source;       // the remote name as written ("//srv/share", "srv:/export", "user@host:/path")
    std::string fs_type;
    std::optional<RemoteName> remote;  // server and share, when the source names them
};

struct NetworkConnectionLists {
    std::vector<NetworkConnection> remembered;  // network entries of the fstab
    std::vector<NetworkConnection> connected;   // network mounts mounted now
};

struct NetworkPrograms {
    std::string fstab_path = "/etc/fstab";
    std::string mount = "mount";
    std::string umount = "umount";
    std::string gio = "gio";
    int map_timeout_ms = 60000;  // how long a mapping may take before its program is ended
};

// The network entries of fstab text: a network file system type, a
// "_netdev" option, or a source that names a server.
std::vector<NetworkConnection> ParseNetworkFstab(std::string_view text);
// The network mounts among the mounts.
std::vector<NetworkConnection> ConnectedNetworkMounts(const std::vector<MountEntry>& mounts);
// Both lists; a fstab that cannot be read gives no remembered entry, and
// then (as with no remembered connection at all) both lists stay empty.
NetworkConnectionLists TakeNetworkConnections(const NetworkPrograms& programs,
                                              const std::vector<MountEntry>& mounts);

struct ProgramOutcome {
    bool ok = false;
    std::string error_text;    // what the program wrote to its error output, or why it did not run
    std::string program_text;  // the program's own words, when error_text says it more plainly
};

// Runs a program with arguments and waits for it (at most timeout_ms).
ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          int timeout_ms = 60000);

// "mount --fstab FILE <mount point>" for a remembered entry.
ProgramOutcome ConnectNetworkDrive(const NetworkPrograms& programs, std::string_view mount_point);
// "umount <mount point>"; for a mount of GIO's (its type kGioFuseType)
// "gio mount -u <mount point>", since only GIO can end it.
ProgramOutcome DisconnectNetworkDrive(const NetworkPrograms& programs, std::string_view mount_point,
                                      std::string_view fs_type = {});

enum class MapLocationKind { Address, Share, Invalid };
// "smb://", "sftp://", "nfs://" (and other "scheme://") addresses are mounted
// through gio; "//server/share", "\\server\share" and "server:/export" through
// mount on a chosen mount point.
MapLocationKind KindOfMapLocation(std::string_view location);

// How a person asks to be let in to an address: as a guest, or by a name
// (for smb "DOMAIN\name" and "name@domain" name the domain too) and a
// password. The password is only ever written to gio's standard input.
struct MapCredentials {
    bool as_guest = false;
    std::string user;
    std::string password;
};

struct UserAndDomain {
    std::string user;
    std::string domain;
};
// The name and domain to answer gio's prompts with for this location.
UserAndDomain SplitUserName(std::string_view location, std::string_view user);

// Maps a location: "gio mount [--anonymous] ADDRESS", answering gio's
// "User", "Domain" and "Password" prompts from the credentials (a prompt
// asked again means they were refused, and gio is stopped), or
// "mount [-t cifs] SOURCE MOUNT_POINT" (the mount point is made when missing).
ProgramOutcome MapNetworkDrive(const NetworkPrograms& programs, std::string_view location,
                               std::string_view mount_point, const MapCredentials& credentials = {});

}  // namespace korvane
