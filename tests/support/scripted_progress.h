// A progress window that shows nothing and whose cancel poll runs a test's
// action: the way a test acts in the middle of a long operation.
#pragma once

#include <functional>
#include <string_view>

#include "app/user_interface.h"

namespace korvane::testing {

class ScriptedProgress : public ProgressWindow {
  public:
    std::function<bool(int poll)> on_poll;  // true cancels
    int polls = 0;
    bool Show() override { return true; }
    void SetShowCancel(bool) override {}
    void SetTitle(std::string_view) override {}
    void SetFirstLine(std::string_view) override {}
    void SetSecondLine(std::string_view) override {}
    void SetRange(int, int) override {}
    int SetPosition(int) override { return 0; }
    bool PollCancel() override { return on_poll && on_poll(++polls); }
    void Close() override {}
};

}  // namespace korvane::testing
