#include "app/user_interface.h"

namespace korvane {
namespace {

// Nothing to show and nobody to cancel.
class SilentProgressWindow : public ProgressWindow {
public:
    bool Show() override { return true; }
    void SetShowCancel(bool) override {}
    void SetTitle(std::string_view) override {}
    void SetFirstLine(std::string_view) override {}
    void SetSecondLine(std::string_view) override {}
    void SetRange(int low, int) override { position_ = low; }
    int SetPosition(int value) override {
        const int previous = position_;
        position_ = value;
        return previous;
    }
    bool PollCancel() override { return false; }
    void Close() override {}

private:
    int position_ = 0;
};

class SilentStatusWindow : public StatusWindow {
public:
    void SetLine2(std::string_view) override {}
};

}  // namespace

MessageAnswer SilentUserInterface::ShowMessage(std::string_view, MessageIcon, MessageButtons buttons) {
    // Nobody can answer: confirm nothing that changes data, retry nothing.
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::OkCancel:
        case MessageButtons::YesNoCancel:
        case MessageButtons::RetryCancel:
            return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

std::unique_ptr<ProgressWindow> SilentUserInterface::CreateProgressWindow() {
    return std::make_unique<SilentProgressWindow>();
}

std::unique_ptr<StatusWindow> SilentUserInterface::ShowStatus(std::string_view, std::string_view, std::string_view,
                                                              std::string_view, std::string_view) {
    return std::make_unique<SilentStatusWindow>();
}

}  // namespace korvane
