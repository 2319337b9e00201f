#include "ui/main/main_layout.h"

#include <algorithm>

namespace korvanel::ui {

MainLayout ComputeMainLayout(int width, int height, int status_height, int split_pos) {
    int upper = split_pos - kSplitOffset;
    if (upper < kMinimumUpper) upper = kMinimumUpper;
    if (upper > height - kLowerReserve) upper = height - kLowerReserve;

    MainLayout layout;
    layout.split_pos = upper + kSplitOffset;
    layout.upper_tabs = QRect(2, kUpperTop, width - 3, upper);
    layout.status_bar = QRect(0, height - status_height, width, status_height);
    layout.status_part_right = {(width - kStatusRightReserve) / 2, width - kStatusRightReserve,
                                width - kStatusPartWidth, width};
    layout.lower_tabs =
        QRect(2, upper + kLowerGap, width - 3, height - status_height - upper - kLowerGap);
    return layout;
}

bool IsOverDivider(int x, int y, int split_pos) {
    return x > kDividerLeftEdge && y > split_pos && y < split_pos + kDividerHeight;
}

int DraggedSplitPos(int y, int outer_height) {
    if (y < kDividerTop) return kDividerTop;
    return std::min(y, outer_height - kLowerReserve);
}

}  // namespace korvanel::ui
