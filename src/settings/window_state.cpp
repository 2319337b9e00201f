#include "settings/window_state.h"

#include "runtime/runtime.h"

namespace korvanel {

WindowState ReadWindowState(Runtime& rt) {
    Hold hold(rt.locks.settings);
    const Settings& s = rt.settings;
    return {s.window_x,      s.window_y,  s.window_width,
            s.window_height, s.split_pos, std::string(s.color.view())};
}

void StoreWindowRect(Runtime& rt, int x, int y, int width, int height) {
    Hold hold(rt.locks.settings);
    rt.settings.window_x = x;
    rt.settings.window_y = y;
    rt.settings.window_width = width;
    rt.settings.window_height = height;
}

void StoreSplitPos(Runtime& rt, int split_pos) {
    Hold hold(rt.locks.settings);
    rt.settings.split_pos = split_pos;
}

void StoreColor(Runtime& rt, std::string_view name) {
    Hold hold(rt.locks.settings);
    rt.settings.color = name;
}

}  // namespace korvanel
