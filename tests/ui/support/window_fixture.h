// A main window over a runtime of its own in a fresh folder, listening (once started) on an
// unused loopback port. For window tests under the offscreen platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/runtime.h"
#include "support/temp_dir.h"
#include "ui/main/main_window.h"
#include "ui/qt_front_end.h"

namespace korvanel::testing {

class WindowFixture {
  public:
    // `data`, when given, is written as the folder's `data` before it is read; with
    // `with_pages` the window hosts its pages and the Config dialog, as in the program.
    explicit WindowFixture(const std::string& data = "", bool with_pages = false);
    ~WindowFixture();

    ui::MainWindow& window() { return *window_; }
    Runtime& rt() { return rt_; }
    ui::QtFrontEnd& front() { return front_; }
    uint16_t port() const { return port_; }
    std::string dataText() const { return ReadFile(dir_.file("data")); }
    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    ui::QtFrontEnd front_;
    Runtime rt_;
    uint16_t port_;
    std::unique_ptr<ui::MainWindow> window_;
};

// Closes the modal dialog that opens next (from a timer, since the dialog's own loop runs
// inside the call that opened it); gives its text through `text` when given.
void AnswerNextDialog(QString* text = nullptr);

}  // namespace korvanel::testing
