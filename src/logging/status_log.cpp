#include "logging/status_log.h"

#include <string>

#include "runtime/runtime.h"

namespace korvanel {

int PostStatus(Runtime& rt, std::string_view name, std::string_view detail) {
    std::string line;
    line.reserve(name.size() + detail.size() + 3);
    line.append(name).append(":").append(detail).append("\r\n");
    rt.front.AppendToPane(Pane::kStatus, line, kStatusPaneLimit);
    rt.front.RequestSave();
    return 1;
}

}  // namespace korvanel
