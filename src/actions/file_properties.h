// Set File Owner and Set File Time on a selection: what the dialogs show,
// the changes themselves, and the catalogue refresh that reads back what is
// really on disk afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "actions/file_actions.h"

namespace korvane {

inline constexpr std::string_view kMultipleFiles = "(Multiple Files)";
inline constexpr std::string_view kMultipleOwners = "(Multiple Owners)";
inline constexpr std::string_view kMultipleCreateTimes = "(Multiple Create Times)";
inline constexpr std::string_view kMultipleAccessTimes = "(Multiple Access Times)";
inline constexpr std::string_view kMultipleModifyTimes = "(Multiple Modify Times)";
// The time texts the dialog shows, in local time.
inline constexpr const char* kFileTimeFormat = "%H:%M:%S %m/%d/%Y";

// What the owner dialog shows for a selection: its one path or "(Multiple
// Files)", and the owner the paths of the first path's volume share
// (compared without regard to case) or "(Multiple Owners)".
struct OwnerSummary {
    std::string file_text;
    std::string owner_text;
    VolumeScanRecord volume;  // of the first path
};
OwnerSummary SummarizeOwners(FileActionContext& context, const SelectionList& list);

// The report shown when a volume lists no account.
std::string NoAccountsReport(const VolumeScanRecord& volume);

// Fills the tree for the volume: local and network volumes (and paths of no
// catalogued volume) list this machine's accounts, NetWare volumes go to the
// NetWare layer; false for any other type.
bool ListVolumeAccounts(const NetWareRoutes& netware, const VolumeScanRecord& volume, AccountTree& tree,
                        UserInterface& ui, int& count);

// Gives every path of the first path's volume to the account; a failure is
// reported per path ("Could not set %s as the owner of %s, error %d." and
// the reason) and the rest go on. Then every path's catalogue record is read
// again from disk.
ActionOutcome SetOwnerOfSelection(FileActionContext& context, const SelectionList& list,
                                  std::string_view account);

// The times shown by the time dialog: those of the first file that can be
// read (folders are passed over), each replaced by its "(Multiple ...)"
// text when a later file differs. Empty when no file could be read; a time
// the file system does not keep is empty.
struct TimeSummary {
    std::string file_text;
    std::string create_text;
    std::string access_text;
    std::string modify_text;
};
TimeSummary SummarizeTimes(const SelectionList& list);

// The local time text of seconds since 1970 ("" for 0).
std::string FileTimeText(std::int64_t unix_seconds);

// Which times Set File Time changes. Linux keeps no settable creation time:
// only access and modify can be applied.
struct TimeChoice {
    bool access = false;
    bool modify = false;
};
// Sets the chosen times of every file of the selection (folders are passed
// over; failures are silent), then reads every path's times back into the
// catalogue.
ActionOutcome SetTimesOfSelection(FileActionContext& context, const SelectionList& list,
                                  std::int64_t unix_seconds, TimeChoice choice);

// The dialog's 12-hour clock: an hour of 12 or more is PM and above 12 loses
// 12 (noon is 12 PM, midnight 0 without PM); back, PM adds 12 below 12 and 12
// without PM is 0.
void To12Hour(int hour24, int& hour12, bool& pm);
int From12Hour(int hour12, bool pm);
// Seconds since 1970 of a local date and time (seconds 0); -1 when invalid.
std::int64_t LocalTimeToUnix(int year, int month, int day, int hour24, int minute);

}  // namespace korvane
