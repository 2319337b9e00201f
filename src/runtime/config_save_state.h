// What keeps saves of `data` in order once their file work runs outside the settings lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace korvanel {

struct ConfigSaveState {
    // Numbers the snapshots in the order they were taken (under the settings lock).
    std::uint64_t last_taken = 0;
    // One save at a time does file work, and it shares the temporary file with no one.
    std::mutex writing;
    // The newest snapshot on disk (under `writing`): an older one is not written over it.
    std::uint64_t last_written = 0;
    // The last save failed (under `writing`): a failure is told once, not at every save.
    bool failing = false;
    // The proxies' logins file: refused at the start (never written over in this run, so
    // that the logins in it are not lost), why, and the newest change written.
    bool logins_refused = false;
    std::string logins_problem;
    std::uint64_t logins_written = 0;
};

}  // namespace korvanel
