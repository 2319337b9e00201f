// What the window tests share: a runtime over a fresh folder whose `data` is written by
// every save request (as the window does after each status line), and clicks as a user
// makes them.
#pragma once

#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QRadioButton>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel::testing {

class SavingFrontEnd : public RecordingFrontEnd {
  public:
    void attach(Runtime& rt) { rt_ = &rt; }
    void RequestSave() override {
        RecordingFrontEnd::RequestSave();
        if (rt_) WriteConfiguration(*rt_);
    }

  private:
    Runtime* rt_ = nullptr;
};

struct UiRuntime {
    TempDir dir;
    SavingFrontEnd front;
    Runtime rt{front, dir.path()};

    // Starts from the state a new `data` gives.
    UiRuntime() {
        ReadConfiguration(rt);
        front.attach(rt);
    }

    // The status log's lines, each "name:detail".
    std::vector<std::string> statusLines() const {
        std::vector<std::string> lines;
        std::string pane = front.pane(Pane::kStatus);
        for (std::size_t at = 0, end; (end = pane.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            lines.push_back(pane.substr(at, end - at));
        }
        return lines;
    }
    std::string lastStatusLine() const {
        auto lines = statusLines();
        return lines.empty() ? std::string() : lines.back();
    }
    std::string lastMessage() const {
        auto messages = front.messages();
        return messages.empty() ? std::string()
                                : messages.back().first + "|" + messages.back().second;
    }
    std::string data() const { return ReadFile(dir.file(kConfigFileName)); }
};

// Where a user clicks: on the indicator of a radio or check box, in the middle of a button.
inline QPoint ClickPoint(const QAbstractButton* button) {
    if (qobject_cast<const QRadioButton*>(button) || qobject_cast<const QCheckBox*>(button)) {
        return QPoint(6, button->height() / 2);
    }
    return button->rect().center();
}

inline void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, ClickPoint(button));
}

// Pressed on `button`, released after the pointer moved off it.
inline void PressAndReleaseElsewhere(QAbstractButton* button) {
    QTest::mousePress(button, Qt::LeftButton, {}, ClickPoint(button));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));
}

// Typed key by key; text beyond Latin-1, which the key simulation cannot type, is pasted.
inline void Type(QLineEdit* edit, const QString& text) {
    edit->clear();
    bool latin1 = true;
    for (QChar c : text) latin1 = latin1 && c.unicode() < 0x80;
    if (latin1) {
        QTest::keyClicks(edit, text);
    } else {
        edit->insert(text);
    }
}

}  // namespace korvanel::testing
