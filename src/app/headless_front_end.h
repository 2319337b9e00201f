// The front end without a window: the status lines and the access-log pane go to standard
// output, a message dialog goes to standard error and is answered at once, and waiting for
// a worker is a plain join. Labels are not shown. Thread-safe.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>

#include "runtime/front_end.h"

namespace korvanel {

class HeadlessFrontEnd : public FrontEnd {
  public:
    HeadlessFrontEnd(std::FILE* out = stdout, std::FILE* err = stderr) : out_(out), err_(err) {}

    void SetLabel(Label label, std::string_view text) override;
    void AppendToPane(Pane pane, std::string_view text, std::size_t limit) override;
    void SetStatusBar(int part, std::string_view text) override;
    void ShowMessage(std::string_view title, std::string_view text) override;
    void RequestSave() override;
    void WaitFor(std::thread& thread) override;

    // What a save request does (writing `data` once the configuration file exists). Set it
    // before any thread may ask for a save.
    void SetSaveHandler(std::function<void()> save) { save_ = std::move(save); }

  private:
    // Writes `text` with CR LF line ends turned into LF.
    void Print(std::FILE* stream, std::string_view text);

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    std::function<void()> save_;
};

}  // namespace korvanel
