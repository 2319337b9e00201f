// The window's own fields of `Settings`: its outer rectangle, the divider position and the
// theme name. The window writes them itself (they are saved with the next save), each under
// the settings lock for a moment.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

struct Runtime;

struct WindowState {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int split_pos = 0;
    std::string color;
};

WindowState ReadWindowState(Runtime& rt);
void StoreWindowRect(Runtime& rt, int x, int y, int width, int height);
void StoreSplitPos(Runtime& rt, int split_pos);
// Cut to the field's capacity, like every copy into `Settings`.
void StoreColor(Runtime& rt, std::string_view name);

}  // namespace korvanel
