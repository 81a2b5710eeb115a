#include "schedule/scheduler_conversation.h"

#include "app/text_helpers.h"
#include "schedule/scheduler_log.h"

namespace korvane {
namespace {

// The argument of "Stop" and "Enum": blanks around it dropped, then one
// enclosing pair of double quotes.
std::string QuotedArgument(std::string_view rest) {
    rest = TrimBlanks(rest);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

// "Word rest": true when text starts with the word (any case) followed by
// nothing, a blank or a quote.
bool CommandWord(std::string_view text, std::string_view word, std::string_view& rest) {
    if (!StartsWithNoCase(text, word))
        return false;
    rest = text.substr(word.size());
    return rest.empty() || rest.front() == ' ' || rest.front() == '\t' || rest.front() == '"';
}

std::string Quote(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

}  // namespace

void SchedulerConversation::Poke(std::string_view text, std::time_t now) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    answer_.clear();

    const std::size_t equals = text.find('=');
    if (equals != std::string_view::npos) {
        const std::string_view key = TrimBlanks(text.substr(0, equals));
        std::string_view value = text.substr(equals + 1);
        if (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        std::optional<std::string>* field = nullptr;
        if (EqualsNoCase(key, "JobName"))
            field = &name_;
        if (EqualsNoCase(key, "Command"))
            field = &command_;
        if (EqualsNoCase(key, "Startup"))
            field = &startup_;
        if (EqualsNoCase(key, "Interval"))
            field = &interval_;
        if (field != nullptr) {
            *field = std::string(value);
            answer_ = std::string(key);
            return;
        }
    }

    const std::string_view command = TrimBlanks(text);
    std::string_view rest;
    if (EqualsNoCase(command, "Set")) {
        if (!name_ || !command_ || !startup_ || !interval_) {
            SchedulerLog(log_, "Set refused: the job is not fully defined");
            return;
        }
        ScheduledJob job{*name_, *command_, *startup_, *interval_, std::nullopt};
        std::string error;
        if (!book_.Set(job, now, error)) {
            SchedulerLog(log_, "Set " + Quote(job.name) + " refused: " + error);
            return;
        }
        SchedulerLog(log_, "job " + Quote(job.name) + " set: " + job.command + ", startup " + job.startup +
                               ", interval " + job.interval);
        answer_ = "Set " + Quote(job.name);
        return;
    }
    if (CommandWord(command, "Stop", rest)) {
        const std::string name = QuotedArgument(rest);
        std::string error;
        if (!book_.Stop(name, error)) {
            SchedulerLog(log_, "Stop " + Quote(name) + " failed: " + error);
            return;
        }
        SchedulerLog(log_, "job " + Quote(name) + " stopped");
        answer_ = "Stopped " + Quote(name);
        return;
    }
    if (CommandWord(command, "Enum", rest)) {
        const auto next = book_.NameAfter(QuotedArgument(rest));
        answer_ = next ? "Job " + *next : "End";
        return;
    }
    SchedulerLog(log_, "unknown command ignored");
}

}  // namespace korvane
