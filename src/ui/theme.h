// The five colour themes of the window. A theme is applied to the whole application as its
// palette, so every window and dialog follows it:
//   Window / Button          the background
//   WindowText / ButtonText  the text
//   Highlight                the selected tab's fill (and selections)
//   HighlightedText          the selected tab's text
// Edit boxes and list views keep a white base with black text.
#pragma once

#include <QtGui/QColor>
#include <QtGui/QPalette>

#include <string_view>

namespace korvanel::ui {

struct Theme {
    const char* name;  // as stored in `color`
    QColor background;
    QColor text;
    QColor selected_fill;
    QColor selected_text;
};

// The theme named exactly `name` ("DEFAULT", "BLACK", "WHITE", "BLUE", "GREEN"), or null.
const Theme* FindTheme(std::string_view name);

// The colours in force before any theme was applied (and kept when `color` names none).
const Theme& StartupTheme();

QPalette ThemePalette(const Theme& theme);

}  // namespace korvanel::ui
