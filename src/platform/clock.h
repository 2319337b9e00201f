// Local time through an injectable clock, so that rotated log names, access-log lines and
// checker speeds can be tested.
#pragma once

#include <chrono>
#include <functional>

namespace korvanel {

struct LocalTime {
    int year = 0;   // four digits
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0;
    int second = 0;
};

struct Clock {
    // Wall-clock local time; tests replace it.
    std::function<LocalTime()> local_now;
    // Monotonic milliseconds, for measured durations.
    std::function<long long()> monotonic_ms;

    static Clock System();
};

}  // namespace korvanel
