// A front end that shows nothing, for the targets that need a runtime.
#pragma once

#include <string_view>
#include <thread>

#include "runtime/front_end.h"

namespace korvanel::fuzz {

class QuietFrontEnd : public FrontEnd {
  public:
    void SetLabel(Label, std::string_view) override {}
    void AppendToPane(Pane, std::string_view, std::size_t) override {}
    void SetStatusBar(int, std::string_view) override {}
    void ShowMessage(std::string_view, std::string_view) override {}
    void RequestSave() override {}
    void WaitFor(std::thread& thread) override {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace korvanel::fuzz
