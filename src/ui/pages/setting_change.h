// What the settings pages share: one change through the ApplySetting worker command, and
// the text of an edit as the settings store it.
#pragma once

#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <cstddef>
#include <string>
#include <string_view>

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

// Runs ApplySetting with `keyword` and `value` and waits for it. False when its thread could
// not be started (the "thread error" dialog has been shown then).
bool ChangeSetting(Runtime& rt, std::string_view keyword, std::string_view value);

// The edit's text in UTF-8, up to its first line break (a line break would end the value's
// line in `data`), cut to at most `max_bytes` bytes without splitting a character.
std::string EditText(const QLineEdit& edit, std::size_t max_bytes);

// The UTF-8 `text` as a QString.
inline QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A label that shows `text` as it is: the tag labels ("<LINK>", "<IMG>") must never be taken
// for markup.
inline QLabel* PlainLabel(std::string_view text, QWidget* parent) {
    auto* label = new QLabel(Qs(text), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace korvanel::ui
