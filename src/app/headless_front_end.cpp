#include "app/headless_front_end.h"

namespace korvanel {

void HeadlessFrontEnd::SetLabel(Label label, std::string_view text) {
    (void)label;
    (void)text;
}

void HeadlessFrontEnd::AppendToPane(Pane pane, std::string_view text, std::size_t limit) {
    (void)limit;
    if (pane != Pane::kStatus && pane != Pane::kAccess) return;
    std::lock_guard<std::mutex> hold(mutex_);
    Print(out_, text);
}

void HeadlessFrontEnd::SetStatusBar(int part, std::string_view text) {
    (void)part;
    (void)text;
}

void HeadlessFrontEnd::ShowMessage(std::string_view title, std::string_view text) {
    std::lock_guard<std::mutex> hold(mutex_);
    Print(err_, title);
    Print(err_, ": ");
    Print(err_, text);
    Print(err_, "\n");
}

void HeadlessFrontEnd::RequestSave() {
    if (save_) save_();
}

void HeadlessFrontEnd::WaitFor(std::thread& thread) {
    if (thread.joinable()) thread.join();
}

// The text less its carriage returns, written a run at a time.
void HeadlessFrontEnd::Print(std::FILE* stream, std::string_view text) {
    while (!text.empty()) {
        std::size_t run = text.find('\r');
        std::size_t take = run == std::string_view::npos ? text.size() : run;
        std::fwrite(text.data(), 1, take, stream);
        text.remove_prefix(run == std::string_view::npos ? take : take + 1);
    }
    std::fflush(stream);
}

}  // namespace korvanel
