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

// The fill of a selected list row: the theme's selected fill lightened towards white just
// enough that every row text colour (black, the kind and speed colours, the rule pages'
// content and action colours) keeps a contrast of at least 4.5 : 1 on it. The lightest of
// them, the speed blue (20, 100, 200), needs a luminance of 0.78; 0.80 leaves a margin.
inline constexpr double kSelectedRowLuminance = 0.80;
QColor SelectedRowFill(const QColor& selected_fill);

// Relative luminance (0 black .. 1 white) and the contrast ratio of two colours (1 .. 21),
// as the accessibility guidelines define them.
double RelativeLuminance(const QColor& colour);
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace korvanel::ui
