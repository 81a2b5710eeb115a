// korvane-scheduler's jobs and the file that keeps them across restarts.
//
// The jobs file is UTF-8 text (bytes are kept as they are):
//
//   korvane-scheduler jobs 1
//   <name> TAB <command> TAB <startup> TAB <interval> TAB <next run>
//   ...
//
// one line per job, in name order. In the four texts a backslash, tab, line
// feed and carriage return are written "\\", "\t", "\n" and "\r". The next
// run is seconds since the epoch, or "-" for a job that runs no more. The
// file is replaced atomically (a temporary file renamed over it).
//
// When a job runs: a Startup that is a date ("%m/%d/%Y %H:%M:%S") starts
// the series there and Interval repeats it (see schedule_time.h); "None"
// and "User defined" run once. A Startup that is not a date (a new
// schedule's "Startup") means the scheduler's own start: such a job runs
// each time the scheduler starts and then every Interval from that start.
// A job set with a date already past runs at its next repeat; a job that
// runs once and whose date is past runs at once. A run missed while the
// scheduler was down happens once, at the scheduler's start.
#pragma once

#include <cstddef>
#include <ctime>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct ScheduledJob {
    std::string name;
    std::string command;
    std::string startup;
    std::string interval;
    std::optional<std::time_t> next_run;  // none: the job runs no more
};

inline constexpr std::string_view kJobsFileHeader = "korvane-scheduler jobs 1";
// A jobs file larger than this is not one.
inline constexpr std::size_t kMaxJobsFileSize = 16u << 20;

std::string SerializeJobs(const std::vector<ScheduledJob>& jobs);

struct ParsedJobs {
    std::vector<ScheduledJob> jobs;   // every well-formed line
    std::vector<std::string> errors;  // "line %d: reason" for every other
};
ParsedJobs ParseJobs(std::string_view text);

// Checks a job definition; false with the reason when it cannot be kept.
bool ValidateJob(const ScheduledJob& job, std::string& error);

// The next run of a job being set at now by a scheduler that started at
// started.
std::optional<std::time_t> FirstRunOnSet(const ScheduledJob& job, std::time_t now, std::time_t started);
// The run after the one made at ran_at.
std::optional<std::time_t> RunAfter(const ScheduledJob& job, std::time_t ran_at, std::time_t started);

class JobBook {
  public:
    // started: when this scheduler started (the time of "Startup" jobs).
    JobBook(std::string path, std::time_t started, std::ostream& log);

    // Reads the jobs file. A missing file is an empty book. A malformed one
    // is reported line by line, kept as "<file>.malformed" (or
    // ".malformed.N"), and its well-formed jobs are kept. False only when the
    // file cannot be read or a malformed file cannot be kept.
    bool Load();
    // Atomically replaces the jobs file with the book.
    bool Save();

    // Adds or replaces the job of that name and saves. False (book
    // unchanged) with the reason when the job is not valid or cannot be saved.
    bool Set(ScheduledJob job, std::time_t now, std::string& error);
    // Removes the job, if there is one, and saves; false when the save fails.
    bool Stop(const std::string& name, std::string& error);
    // The first job after previous in name order (the first of all for "").
    std::optional<std::string> NameAfter(const std::string& previous) const;

    // Jobs whose next run is at or before now.
    std::vector<std::string> DueJobs(std::time_t now) const;
    // Records a run made at ran_at: the next run follows it. Saved.
    void MarkRun(const std::string& name, std::time_t ran_at);
    // The earliest next run of all jobs.
    std::optional<std::time_t> NextWake() const;

    const ScheduledJob* Find(const std::string& name) const;
    std::size_t Size() const { return jobs_.size(); }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::time_t started_;
    std::ostream& log_;
    std::map<std::string, ScheduledJob> jobs_;
};

}  // namespace korvane
