// The main window's pixel arithmetic, kept apart from the widgets so that its rules can be
// checked with any size: where the two tab controls and the status bar go, and how the
// divider between the tab controls answers the pointer.
#pragma once

#include <QtCore/QRect>
#include <array>

namespace korvanel::ui {

inline constexpr int kMinimumWindowWidth = 860;
inline constexpr int kMinimumWindowHeight = 580;
// The upper tab control starts this far down, below the buttons and counters.
inline constexpr int kUpperTop = 74;
// split_pos lies this far below the top of the upper tab control's height.
inline constexpr int kSplitOffset = 78;
inline constexpr int kLowerGap = 86;  // the lower tab control starts at U + this
inline constexpr int kMinimumUpper = 300;
inline constexpr int kLowerReserve = 220;  // the upper part leaves this much below it
inline constexpr int kDividerTop = 370;    // the divider is never dragged above this
inline constexpr int kDividerLeftEdge = 154;
inline constexpr int kDividerHeight = 20;
inline constexpr int kStatusRightReserve = 320;
inline constexpr int kStatusPartWidth = 160;

struct MainLayout {
    int split_pos;  // the stored divider position, after the limits
    QRect upper_tabs;
    QRect lower_tabs;
    QRect status_bar;
    std::array<int, 4> status_part_right;  // right edges of the four parts
};

// The layout of a client area `width` by `height` with a status bar `status_height` high
// and the divider asked to be at `split_pos`.
MainLayout ComputeMainLayout(int width, int height, int status_height, int split_pos);

// Whether the pointer at (x, y) of the client area is over the divider.
bool IsOverDivider(int x, int y, int split_pos);

// The divider position a drag to client y gives, in a window `outer_height` high.
int DraggedSplitPos(int y, int outer_height);

}  // namespace korvanel::ui
