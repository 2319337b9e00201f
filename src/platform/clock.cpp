#include "platform/clock.h"

#include <ctime>

namespace korvanel {

Clock Clock::System() {
    Clock clock;
    clock.local_now = [] {
        std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                         parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    };
    clock.monotonic_ms = [] {
        using namespace std::chrono;
        return static_cast<long long>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    return clock;
}

}  // namespace korvanel
