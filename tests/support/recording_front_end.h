// A front end for tests: keeps labels, panes, status-bar parts and messages, counts save
// requests, and joins waited-for threads at once.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/front_end.h"

namespace korvanel::testing {

class RecordingFrontEnd : public FrontEnd {
  public:
    void SetLabel(Label label, std::string_view text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        labels_[label] = std::string(text);
    }
    void AppendToPane(Pane pane, std::string_view text, std::size_t limit) override {
        std::lock_guard<std::mutex> hold(mutex_);
        AppendTrimmed(panes_[pane], text, limit);
    }
    void LimitPane(Pane pane, std::size_t characters) override {
        std::lock_guard<std::mutex> hold(mutex_);
        pane_limits_[pane] = characters;
    }
    void SetStatusBar(int part, std::string_view text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        status_bar_[part] = std::string(text);
    }
    void ShowMessage(std::string_view title, std::string_view text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        messages_.emplace_back(std::string(title), std::string(text));
    }
    bool AskYesNo(std::string_view title, std::string_view text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        questions_.emplace_back(std::string(title), std::string(text));
        return answer_yes_;
    }
    void RequestSave() override {
        std::lock_guard<std::mutex> hold(mutex_);
        ++saves_;
    }
    void WaitFor(std::thread& thread) override {
        if (thread.joinable()) thread.join();
    }
    void SetCheckLine(int line, std::string_view text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        check_lines_[line] = std::string(text);
    }
    void SetCheckProgress(int position, int maximum) override {
        std::lock_guard<std::mutex> hold(mutex_);
        check_progress_ = {position, maximum};
    }
    void SetCheckButtons(bool ok_enabled, bool close_enabled) override {
        std::lock_guard<std::mutex> hold(mutex_);
        check_buttons_ = {ok_enabled, close_enabled};
    }

    std::string label(Label label) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = labels_.find(label);
        return it == labels_.end() ? std::string() : it->second;
    }
    std::string pane(Pane pane) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = panes_.find(pane);
        return it == panes_.end() ? std::string() : it->second;
    }
    std::string status_bar(int part) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = status_bar_.find(part);
        return it == status_bar_.end() ? std::string() : it->second;
    }
    // The questions asked so far, and the answer every later one gets.
    std::vector<std::pair<std::string, std::string>> questions() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return questions_;
    }
    void AnswerYes(bool yes) {
        std::lock_guard<std::mutex> hold(mutex_);
        answer_yes_ = yes;
    }
    std::vector<std::pair<std::string, std::string>> messages() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return messages_;
    }
    int saves() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return saves_;
    }
    std::string check_line(int line) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = check_lines_.find(line);
        return it == check_lines_.end() ? std::string() : it->second;
    }
    std::pair<int, int> check_progress() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return check_progress_;
    }
    std::pair<bool, bool> check_buttons() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return check_buttons_;
    }

  private:
    mutable std::mutex mutex_;
    std::map<Label, std::string> labels_;
    std::map<Pane, std::string> panes_;
    std::map<Pane, std::size_t> pane_limits_;
    std::map<int, std::string> status_bar_;
    std::vector<std::pair<std::string, std::string>> messages_;
    std::vector<std::pair<std::string, std::string>> questions_;
    bool answer_yes_ = false;
    std::map<int, std::string> check_lines_;
    std::pair<int, int> check_progress_{0, 0};
    std::pair<bool, bool> check_buttons_{false, false};
    int saves_ = 0;
};

}  // namespace korvanel::testing
