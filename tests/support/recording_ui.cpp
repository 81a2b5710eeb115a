#include "support/recording_ui.h"

namespace korvane::testing {
namespace {

class RecordingProgressWindow : public ProgressWindow {
public:
    RecordingProgressWindow(RecordingUserInterface& ui, std::shared_ptr<ProgressLog> log)
        : ui_(ui), log_(std::move(log)) {}
    bool Show() override {
        log_->shown = true;
        return true;
    }
    void SetShowCancel(bool show) override { log_->show_cancel = show; }
    void SetTitle(std::string_view text) override { log_->titles.emplace_back(text); }
    void SetFirstLine(std::string_view text) override { log_->first_lines.emplace_back(text); }
    void SetSecondLine(std::string_view text) override { log_->second_lines.emplace_back(text); }
    void SetRange(int low, int high) override {
        log_->low = low;
        log_->high = high;
    }
    int SetPosition(int value) override {
        const int previous = log_->positions.empty() ? log_->low : log_->positions.back();
        log_->positions.push_back(value);
        return previous;
    }
    bool PollCancel() override {
        ++log_->cancel_polls;
        ++ui_.polls;
        return ui_.cancel_on_poll != 0 && ui_.polls == ui_.cancel_on_poll;
    }
    void Close() override { log_->closed = true; }

private:
    RecordingUserInterface& ui_;
    std::shared_ptr<ProgressLog> log_;
};

class RecordingStatusWindow : public StatusWindow {
public:
    explicit RecordingStatusWindow(std::vector<std::string>& lines) : lines_(lines) {}
    void SetLine2(std::string_view text) override { lines_.emplace_back(text); }

private:
    std::vector<std::string>& lines_;
};

MessageAnswer FirstButton(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
        case MessageButtons::OkCancel:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel:
            return MessageAnswer::Yes;
        case MessageButtons::RetryCancel:
            return MessageAnswer::Retry;
    }
    return MessageAnswer::Ok;
}

}  // namespace

MessageAnswer RecordingUserInterface::ShowMessage(std::string_view text, MessageIcon icon,
                                                  MessageButtons buttons) {
    messages.push_back({std::string(text), icon, buttons});
    if (answers.empty()) return FirstButton(buttons);
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::unique_ptr<ProgressWindow> RecordingUserInterface::CreateProgressWindow() {
    progress.push_back(std::make_shared<ProgressLog>());
    return std::make_unique<RecordingProgressWindow>(*this, progress.back());
}

std::unique_ptr<StatusWindow> RecordingUserInterface::ShowStatus(std::string_view title, std::string_view line1,
                                                                 std::string_view line2, std::string_view line3,
                                                                 std::string_view line4) {
    statuses.push_back({std::string(title), std::string(line1), std::string(line2), std::string(line3),
                        std::string(line4)});
    return std::make_unique<RecordingStatusWindow>(statuses.back());
}

bool RecordingUserInterface::ChooseFolder(std::string_view, std::string& folder) {
    if (chosen_folder.empty()) return false;
    folder = chosen_folder;
    return true;
}

}  // namespace korvane::testing
