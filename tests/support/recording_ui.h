// A UserInterface for tests: records every message, progress and status
// update, and answers message boxes from a queue of scripted answers.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/user_interface.h"

namespace korvane::testing {

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

struct ProgressLog {
    std::vector<std::string> titles, first_lines, second_lines;
    std::vector<int> positions;
    int low = 0, high = 100;
    bool shown = false, closed = false, show_cancel = true;
    int cancel_polls = 0;
};

class RecordingUserInterface : public UserInterface {
public:
    bool interactive = true;
    std::vector<RecordedMessage> messages;
    std::deque<MessageAnswer> answers;  // used in order; when empty, the first button's answer
    std::vector<std::shared_ptr<ProgressLog>> progress;
    std::deque<std::vector<std::string>> statuses;  // title and four lines, then every line 2 (stable)
    // PollCancel answers true on the poll with this number (1-based), 0 never.
    int cancel_on_poll = 0;
    int polls = 0;
    std::string chosen_folder;

    bool Interactive() const override { return interactive; }
    MessageAnswer ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) override;
    std::unique_ptr<ProgressWindow> CreateProgressWindow() override;
    std::unique_ptr<StatusWindow> ShowStatus(std::string_view title, std::string_view line1,
                                             std::string_view line2, std::string_view line3,
                                             std::string_view line4) override;
    void PumpMessages() override {}
    bool ChooseFolder(std::string_view title, std::string& folder) override;
};

}  // namespace korvane::testing
