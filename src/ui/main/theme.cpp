#include "ui/main/theme.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvanel::ui {

namespace {

const std::array<Theme, 5> kThemes = {{
    {"DEFAULT", QColor(233, 233, 233), QColor(25, 25, 25), QColor(25, 25, 25),
     QColor(233, 233, 233)},
    {"BLACK", QColor(0, 0, 0), QColor(255, 255, 255), QColor(40, 140, 40), QColor(255, 255, 255)},
    {"WHITE", QColor(255, 255, 255), QColor(0, 0, 0), QColor(0, 0, 0), QColor(255, 255, 255)},
    {"BLUE", QColor(5, 40, 70), QColor(181, 181, 210), QColor(181, 181, 210), QColor(5, 40, 70)},
    {"GREEN", QColor(210, 229, 200), QColor(40, 0, 80), QColor(104, 204, 200), QColor(0, 0, 0)},
}};

// Grey, like "DEFAULT", but under no name of its own.
const Theme kStartup = {"", QColor(233, 233, 233), QColor(25, 25, 25), QColor(25, 25, 25),
                        QColor(233, 233, 233)};

}  // namespace

const Theme* FindTheme(std::string_view name) {
    for (const Theme& theme : kThemes) {
        if (name == theme.name) return &theme;
    }
    return nullptr;
}

const Theme& StartupTheme() {
    return kStartup;
}

QPalette ThemePalette(const Theme& theme) {
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, theme.background);
        palette.setColor(group, QPalette::Button, theme.background);
        palette.setColor(group, QPalette::WindowText, theme.text);
        palette.setColor(group, QPalette::ButtonText, theme.text);
        palette.setColor(group, QPalette::Highlight, theme.selected_fill);
        palette.setColor(group, QPalette::HighlightedText, theme.selected_text);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::AlternateBase, QColor(240, 248, 255));
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 225));
        palette.setColor(group, QPalette::ToolTipText, Qt::black);
    }
    QColor muted = theme.text;
    muted.setAlpha(120);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, muted);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, muted);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    return palette;
}

namespace {

double Linear(int channel) {
    double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QColor Blend(const QColor& from, double towards_white) {
    auto mix = [towards_white](int c) {
        return static_cast<int>(std::lround(c + (255 - c) * towards_white));
    };
    return QColor(mix(from.red()), mix(from.green()), mix(from.blue()));
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
    return 0.2126 * Linear(colour.red()) + 0.7152 * Linear(colour.green()) +
           0.0722 * Linear(colour.blue());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor SelectedRowFill(const QColor& selected_fill) {
    constexpr int kSteps = 100;
    for (int step = 0; step < kSteps; ++step) {
        QColor fill = Blend(selected_fill, static_cast<double>(step) / kSteps);
        if (RelativeLuminance(fill) >= kSelectedRowLuminance) return fill;
    }
    return QColor(Qt::white);
}

}  // namespace korvanel::ui
