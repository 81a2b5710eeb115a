#include "schedule/job_book.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "schedule/command_line.h"
#include "schedule/schedule_time.h"
#include "schedule/scheduler_log.h"

namespace korvane {
namespace {

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            default:
                return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    return fields;
}

std::optional<std::time_t> StartupBase(const ScheduledJob& job, std::time_t started) {
    if (const auto startup = ParseStartup(job.startup))
        return LocalTimeOf(*startup);
    return started;
}

bool IsDateStartup(const ScheduledJob& job) {
    return ParseStartup(job.startup).has_value();
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes a new file that must not exist yet; false leaves nothing behind.
bool WriteNewFile(const std::string& path, std::string_view bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!ok) {
        error = path + ": " + std::strerror(saved);
        ::unlink(path.c_str());
    }
    return ok;
}

enum class ReadOutcome { Ok, Missing, Failed, TooLarge };

ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadOutcome::Missing;
        error = std::strerror(errno);
        return ReadOutcome::Failed;
    }
    bytes.clear();
    char buffer[65536];
    ReadOutcome outcome = ReadOutcome::Ok;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            outcome = ReadOutcome::Failed;
            break;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxJobsFileSize) {
            outcome = ReadOutcome::TooLarge;
            break;
        }
    }
    ::close(fd);
    return outcome;
}

}  // namespace

std::string SerializeJobs(const std::vector<ScheduledJob>& jobs) {
    std::string out(kJobsFileHeader);
    out.push_back('\n');
    for (const ScheduledJob& job : jobs) {
        out += Escape(job.name);
        out.push_back('\t');
        out += Escape(job.command);
        out.push_back('\t');
        out += Escape(job.startup);
        out.push_back('\t');
        out += Escape(job.interval);
        out.push_back('\t');
        out += job.next_run ? std::to_string(static_cast<long long>(*job.next_run)) : "-";
        out.push_back('\n');
    }
    return out;
}

bool ValidateJob(const ScheduledJob& job, std::string& error) {
    if (job.name.empty()) {
        error = "the job has no name";
        return false;
    }
    // An enumeration answer gives the name from its second token on, which
    // cannot begin with a separator.
    const char first = job.name.front();
    if (first == ' ' || first == '\t' || first == ',' || first == '=' || first == '\r' || first == '\n') {
        error = "a job name cannot begin with a blank, tab, comma, \"=\" or line end";
        return false;
    }
    if (job.name.find('\0') != std::string::npos || job.command.find('\0') != std::string::npos) {
        error = "a NUL byte in the job";
        return false;
    }
    std::vector<std::string> words;
    std::string split_error;
    if (!SplitCommandLine(job.command, words, split_error)) {
        error = "the command line cannot be split: " + split_error;
        return false;
    }
    if (!ParseInterval(job.interval)) {
        error = "unknown interval \"" + job.interval + "\"";
        return false;
    }
    return true;
}

ParsedJobs ParseJobs(std::string_view text) {
    ParsedJobs parsed;
    std::size_t pos = 0;
    int number = 0;
    bool header_seen = false;
    std::map<std::string, bool> names;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!header_seen) {
            header_seen = true;
            if (line != kJobsFileHeader) {
                parsed.errors.push_back(where + "not a korvane-scheduler jobs file");
                return parsed;
            }
            continue;
        }
        if (line.empty())
            continue;
        const auto fields = SplitTabs(line);
        if (fields.size() != 5) {
            parsed.errors.push_back(where + "expected 5 fields, found " + std::to_string(fields.size()));
            continue;
        }
        ScheduledJob job;
        if (!Unescape(fields[0], job.name) || !Unescape(fields[1], job.command) ||
            !Unescape(fields[2], job.startup) || !Unescape(fields[3], job.interval)) {
            parsed.errors.push_back(where + "bad escape sequence");
            continue;
        }
        if (fields[4] != "-") {
            long long next = 0;
            const auto r = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), next);
            if (fields[4].empty() || r.ec != std::errc() || r.ptr != fields[4].data() + fields[4].size()) {
                parsed.errors.push_back(where + "bad next run \"" + std::string(fields[4]) + "\"");
                continue;
            }
            job.next_run = static_cast<std::time_t>(next);
        }
        std::string error;
        if (!ValidateJob(job, error)) {
            parsed.errors.push_back(where + error);
            continue;
        }
        if (!names.emplace(job.name, true).second) {
            parsed.errors.push_back(where + "second job named \"" + job.name + "\"");
            continue;
        }
        parsed.jobs.push_back(std::move(job));
    }
    if (!header_seen)
        parsed.errors.push_back("line 1: empty file");
    return parsed;
}

std::optional<std::time_t> FirstRunOnSet(const ScheduledJob& job, std::time_t now, std::time_t started) {
    const auto interval = ParseInterval(job.interval);
    const auto base = StartupBase(job, started);
    if (!interval || !base)
        return std::nullopt;
    if (!IsDateStartup(job))
        return FirstRunAfter(*base, *interval, now);
    if (*base > now)
        return base;
    if (const auto repeat = FirstRunAfter(*base, *interval, now))
        return repeat;
    // A once-only job whose date has passed would never run: run it now.
    return now;
}

std::optional<std::time_t> RunAfter(const ScheduledJob& job, std::time_t ran_at, std::time_t started) {
    const auto interval = ParseInterval(job.interval);
    const auto base = StartupBase(job, started);
    if (!interval || !base)
        return std::nullopt;
    return FirstRunAfter(*base, *interval, ran_at);
}

JobBook::JobBook(std::string path, std::time_t started, std::ostream& log)
    : path_(std::move(path)), started_(started), log_(log) {}

bool JobBook::Load() {
    jobs_.clear();
    std::string bytes, error;
    const ReadOutcome outcome = ReadWholeFile(path_, bytes, error);
    if (outcome == ReadOutcome::Missing) {
        SchedulerLog(log_, "no jobs file yet at " + path_);
        return true;
    }
    if (outcome == ReadOutcome::Failed) {
        SchedulerLog(log_, "cannot read the jobs file " + path_ + ": " + error);
        return false;
    }
    ParsedJobs parsed;
    if (outcome == ReadOutcome::TooLarge) {
        parsed.errors.push_back("larger than " + std::to_string(kMaxJobsFileSize) + " bytes");
    } else {
        parsed = ParseJobs(bytes);
    }
    if (!parsed.errors.empty()) {
        for (const std::string& e : parsed.errors)
            SchedulerLog(log_, "malformed jobs file " + path_ + ", " + e);
        // Keep the file as it was before anything rewrites it.
        std::string kept;
        bool saved = false;
        for (int n = 0; n < 1000 && !saved; ++n) {
            kept = path_ + ".malformed" + (n == 0 ? std::string() : "." + std::to_string(n));
            struct stat st;
            if (::lstat(kept.c_str(), &st) == 0)
                continue;
            saved = WriteNewFile(kept, bytes, error);
            if (!saved)
                break;
        }
        if (!saved) {
            SchedulerLog(log_, "cannot keep the malformed jobs file: " + error);
            return false;
        }
        SchedulerLog(log_, "the malformed jobs file was kept as " + kept + "; " +
                               std::to_string(parsed.jobs.size()) + " well-formed job(s) loaded");
    }
    const std::time_t now = std::time(nullptr);
    for (ScheduledJob& job : parsed.jobs) {
        // A job that starts with the scheduler runs now; a dated job keeps
        // its next run, which is due at once when it passed while down.
        if (!IsDateStartup(job))
            job.next_run = FirstRunAfter(started_, *ParseInterval(job.interval), now - 1);
        const std::string name = job.name;
        jobs_.emplace(name, std::move(job));
    }
    if (!parsed.errors.empty() && !Save())
        return false;
    SchedulerLog(log_, std::to_string(jobs_.size()) + " job(s) loaded from " + path_);
    return true;
}

bool JobBook::Save() {
    std::vector<ScheduledJob> jobs;
    jobs.reserve(jobs_.size());
    for (const auto& entry : jobs_)
        jobs.push_back(entry.second);
    const std::string temp = path_ + ".tmp." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    std::string error;
    if (!WriteNewFile(temp, SerializeJobs(jobs), error)) {
        SchedulerLog(log_, "cannot write the jobs file: " + error);
        return false;
    }
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        SchedulerLog(log_, "cannot replace the jobs file " + path_ + ": " + std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    const int dir = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool JobBook::Set(ScheduledJob job, std::time_t now, std::string& error) {
    if (!ValidateJob(job, error))
        return false;
    job.next_run = FirstRunOnSet(job, now, started_);
    const auto previous = jobs_.find(job.name);
    std::optional<ScheduledJob> replaced;
    if (previous != jobs_.end())
        replaced = previous->second;
    const std::string name = job.name;
    jobs_[name] = std::move(job);
    if (!Save()) {
        if (replaced) {
            jobs_[name] = std::move(*replaced);
        } else {
            jobs_.erase(name);
        }
        error = "the jobs file cannot be written";
        return false;
    }
    return true;
}

bool JobBook::Stop(const std::string& name, std::string& error) {
    const auto it = jobs_.find(name);
    if (it == jobs_.end())
        return true;
    ScheduledJob removed = std::move(it->second);
    jobs_.erase(it);
    if (!Save()) {
        jobs_.emplace(name, std::move(removed));
        error = "the jobs file cannot be written";
        return false;
    }
    return true;
}

std::optional<std::string> JobBook::NameAfter(const std::string& previous) const {
    const auto it = previous.empty() ? jobs_.begin() : jobs_.upper_bound(previous);
    if (it == jobs_.end())
        return std::nullopt;
    return it->first;
}

std::vector<std::string> JobBook::DueJobs(std::time_t now) const {
    std::vector<std::string> due;
    for (const auto& [name, job] : jobs_) {
        if (job.next_run && *job.next_run <= now)
            due.push_back(name);
    }
    return due;
}

void JobBook::MarkRun(const std::string& name, std::time_t ran_at) {
    const auto it = jobs_.find(name);
    if (it == jobs_.end())
        return;
    it->second.next_run = RunAfter(it->second, ran_at, started_);
    Save();
}

std::optional<std::time_t> JobBook::NextWake() const {
    std::optional<std::time_t> wake;
    for (const auto& entry : jobs_) {
        const auto& next = entry.second.next_run;
        if (next && (!wake || *next < *wake))
            wake = next;
    }
    return wake;
}

const ScheduledJob* JobBook::Find(const std::string& name) const {
    const auto it = jobs_.find(name);
    return it == jobs_.end() ? nullptr : &it->second;
}

}  // namespace korvane
