// The eleven named locks of the process. Each is re-entrant: the owning thread may
// take it again.
//
// Members are constructed in declaration order, which is the order the program creates
// them in at start-up. Lock order rules: a log buffer lock before the settings lock; the
// settings lock before the checker lock; the message lock before the IP log buffer lock.
#pragma once

#include <mutex>

namespace korvanel {

using Lock = std::recursive_mutex;
using Hold = std::lock_guard<std::recursive_mutex>;

struct NamedLocks {
    Lock settings;
    Lock server;
    Lock access_log;
    Lock send_header_log;
    Lock recv_header_log;
    Lock header_pair_log;
    Lock counter;
    Lock ip_log;
    Lock browser;
    Lock checker;
    Lock message;
};

}  // namespace korvanel
