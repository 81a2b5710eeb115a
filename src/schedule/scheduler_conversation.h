// One client's conversation with korvane-scheduler: the commands poked to
// item "Command" and the answer a request gets.
//
// "JobName = %s", "Command = %s", "Startup = %s", "Interval = %s" define
// the job (the key ignores case; one blank after "=" is dropped) and are
// answered with the key. "Set" registers that job, replacing one of the same
// name: answered "Set \"%s\"", or empty when the job is incomplete or not
// valid (see ValidateJob) or cannot be saved. "Stop \"%s\"" removes the job:
// answered "Stopped \"%s\"" (also when there was no such job, since it is
// then not registered either), empty when the jobs file cannot be written.
// "Enum \"%s\"" is answered "Job " followed by the name of the job after the
// given one (the first for an empty name), or "End" after the last. Any
// other text is answered empty.
#pragma once

#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "schedule/job_book.h"

namespace korvane {

class SchedulerConversation {
  public:
    SchedulerConversation(JobBook& book, std::ostream& log) : book_(book), log_(log) {}

    // Takes one poked text (up to its first NUL) at the given time.
    void Poke(std::string_view text, std::time_t now);
    // The answer to the last command poked; empty before any.
    const std::string& Answer() const { return answer_; }

  private:
    JobBook& book_;
    std::ostream& log_;
    std::optional<std::string> name_, command_, startup_, interval_;
    std::string answer_;
};

}  // namespace korvane
