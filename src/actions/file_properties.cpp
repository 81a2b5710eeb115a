#include "actions/file_properties.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "actions/catalogue_sync.h"
#include "actions/volume_lookup.h"
#include "app/text_helpers.h"
#include "catalogue/volume_fetch.h"
#include "owners/local_users.h"
#include "platform/directory_reader.h"
#include "platform/mount_table.h"

namespace korvane {
namespace {

std::string SetOwnerFailure(std::string_view account, const std::string& path, int code) {
    std::string text(kSetOwnerFailedMessage);
    text.replace(text.find("%s"), 2, account);
    text.replace(text.find("%s"), 2, path);
    text.replace(text.find("%d"), 2, std::to_string(code));
    if (code == kOwnerPrivilegeError) {
        text += kOwnerPrivilegeHint;
    }
    return text + "\n" + std::strerror(code);
}

void RefreshFromDisk(FileActionContext& context, const SelectionList& list, ActionOutcome& outcome) {
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    outcome.catalogue_ok = sync.Begin();
    for (const std::string& path : list.paths) {
        sync.EntryChanged(path);
    }
    outcome.catalogue_ok = sync.Finish() && outcome.catalogue_ok;
    outcome.hints |= sync.hints();
}

}  // namespace

OwnerSummary SummarizeOwners(FileActionContext& context, const SelectionList& list) {
    OwnerSummary summary;
    if (list.empty()) {
        return summary;
    }
    VolumeLookup volumes(context.catalogue, context.tree);
    summary.volume = volumes.Of(list.paths.front());
    std::size_t on_volume = 0;
    bool differ = false;
    std::string first;
    for (const std::string& path : list.paths) {
        if (!volumes.SameVolume(list.paths.front(), path)) {
            continue;
        }
        ++on_volume;
        if (differ) {
            continue;
        }
        std::string owner;
        if (summary.volume.volume_type == 10 || summary.volume.volume_type == 11) {
            owner = context.netware.owner_of ? context.netware.owner_of(summary.volume, path) : "(Unknown)";
        } else {
            context.owners.OwnerOfPath(summary.volume.owner, path, owner);
        }
        if (on_volume == 1) {
            first = owner;
        } else if (!EqualsNoCase(owner, first)) {
            differ = true;
        }
    }
    summary.file_text = on_volume == 1 ? list.paths.front() : std::string(kMultipleFiles);
    summary.owner_text = differ ? std::string(kMultipleOwners) : first;
    return summary;
}

std::string NoAccountsReport(const VolumeScanRecord& volume) {
    const char* type_name = volume.volume_type == 10   ? "NetWare"
                            : volume.volume_type == 11 ? "NetWare Directory Services"
                            : volume.volume_type == 2  ? "FTP"
                                                       : "Local or Network";
    char flags[16];
    std::snprintf(flags, sizeof flags, "%08X", static_cast<unsigned>(volume.flags));
    return "** Error retrieving list of Owners and Groups **\n\tType:\t" +
           std::to_string(volume.volume_type) + "-" + type_name + "\n\tVolume:\t" + volume.name +
           "\n\tRoot:\t" + volume.root + "\n\tOwner:\t" + volume.owner + "\n\tFSName:\t" + volume.format +
           "\n\tFlags:\t" + flags + "\n";
}

bool ListVolumeAccounts(const NetWareRoutes& netware, const VolumeScanRecord& volume, AccountTree& tree,
                        UserInterface& ui, int& count) {
    count = 0;
    if (volume.volume_type == 10 || volume.volume_type == 11) {
        count = netware.list_accounts ? netware.list_accounts(volume, tree) : 0;
        return true;
    }
    if (volume.volume_type != 1 && volume.volume_type != 0) {
        return false;
    }
    count = ListLocalUsers(volume.owner, tree, ui);
    return true;
}

ActionOutcome SetOwnerOfSelection(FileActionContext& context, const SelectionList& list,
                                  std::string_view account) {
    ActionOutcome outcome;
    if (list.empty()) {
        return outcome;
    }
    VolumeLookup volumes(context.catalogue, context.tree);
    const VolumeScanRecord volume = volumes.Of(list.paths.front());
    for (const std::string& path : list.paths) {
        if (!volumes.SameVolume(list.paths.front(), path)) {
            continue;
        }
        const int code = SetVolumeOwner(context.netware, context.owners, volume, path, account);
        if (code == 0) {
            ++outcome.done;
            continue;
        }
        const std::string text = SetOwnerFailure(account, path, code);
        ++outcome.failed;
        if (outcome.first_error.empty()) {
            outcome.first_error = text;
        }
        context.ui.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
    }
    RefreshFromDisk(context, list, outcome);
    return outcome;
}

std::string FileTimeText(std::int64_t unix_seconds) {
    if (unix_seconds == 0) {
        return "";
    }
    const std::time_t when = static_cast<std::time_t>(unix_seconds);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&when, &local) == nullptr ||
        std::strftime(text, sizeof text, kFileTimeFormat, &local) == 0) {
        return "";
    }
    return text;
}

TimeSummary SummarizeTimes(const SelectionList& list) {
    TimeSummary summary;
    summary.file_text = list.size() == 1 ? list.paths.front() : std::string(kMultipleFiles);
    bool have_first = false;
    bool create_differs = false, access_differs = false, modify_differs = false;
    for (const std::string& path : list.paths) {
        if (create_differs && access_differs && modify_differs) {
            break;
        }
        DirectoryEntry entry;
        if (ReadPathEntry(path, entry) != 0 || entry.IsDirectory()) {
            continue;
        }
        const std::string create = FileTimeText(entry.create_time);
        const std::string access = FileTimeText(entry.access_time);
        const std::string modify = FileTimeText(entry.modify_time);
        if (!have_first) {
            have_first = true;
            summary.create_text = create;
            summary.access_text = access;
            summary.modify_text = modify;
            continue;
        }
        create_differs = create_differs || create != summary.create_text;
        access_differs = access_differs || access != summary.access_text;
        modify_differs = modify_differs || modify != summary.modify_text;
    }
    if (create_differs) {
        summary.create_text = kMultipleCreateTimes;
    }
    if (access_differs) {
        summary.access_text = kMultipleAccessTimes;
    }
    if (modify_differs) {
        summary.modify_text = kMultipleModifyTimes;
    }
    return summary;
}

ActionOutcome SetTimesOfSelection(FileActionContext& context, const SelectionList& list,
                                  std::int64_t unix_seconds, TimeChoice choice) {
    ActionOutcome outcome;
    const struct timespec when = {static_cast<std::time_t>(unix_seconds), 0};
    const struct timespec omit = {0, UTIME_OMIT};
    const struct timespec times[2] = {choice.access ? when : omit, choice.modify ? when : omit};
    for (const std::string& path : list.paths) {
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
            continue;
        }
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) {
            ++outcome.done;
        } else {
            ++outcome.failed;
        }
    }
    RefreshFromDisk(context, list, outcome);
    return outcome;
}

void To12Hour(int hour24, int& hour12, bool& pm) {
    pm = hour24 >= 12;
    hour12 = hour24 > 12 ? hour24 - 12 : hour24;
}

int From12Hour(int hour12, bool pm) {
    if (pm) {
        return hour12 < 12 ? hour12 + 12 : 12;
    }
    return hour12 == 12 ? 0 : hour12;
}

std::int64_t LocalTimeToUnix(int year, int month, int day, int hour24, int minute) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour24;
    local.tm_min = minute;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    return when == static_cast<std::time_t>(-1) ? -1 : static_cast<std::int64_t>(when);
}

}  // namespace korvane
