// What the browser commands need from the machine: which processes they may see and stop,
// the processor width, and how long they wait at each step. The program uses the system's
// values; a test narrows the processes to its own fakes and may shorten the waits.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "platform/process_table.h"
#include "platform/stop_request.h"

namespace korvanel {

using std::chrono::milliseconds;

// Closing Firefox: up to kFirefoxCloseTries rounds of (SIGTERM, wait, look, SIGTERM again,
// wait, look); what is left then gets SIGKILL, retried kKillTries times.
inline constexpr int kFirefoxCloseTries = 10;
inline constexpr milliseconds kFirefoxCloseWait{200};
inline constexpr int kKillTries = 10;
inline constexpr milliseconds kKillRetryWait{100};
// Starting Firefox: look every kFirefoxStartPoll, at most kFirefoxStartPolls times, whether
// the started Firefox has opened (locked) the profile, as long as its process runs. It reads
// the profile's preferences right after that, so the edited copy stays kFirefoxSettle longer.
inline constexpr int kFirefoxStartPolls = 100;
inline constexpr milliseconds kFirefoxStartPoll{100};
inline constexpr milliseconds kFirefoxSettle{5000};

// Closing Opera: SIGTERM to every process of the edition, wait kOperaCloseWait, then look up
// to kOperaClosePolls times, kOperaClosePoll apart; what is left then gets SIGKILL.
inline constexpr milliseconds kOperaCloseWait{300};
inline constexpr int kOperaClosePolls = 50;
inline constexpr milliseconds kOperaClosePoll{300};
// Starting Opera: look for a process of the edition up to kOperaStartPolls times.
inline constexpr int kOperaStartPolls = 50;
inline constexpr milliseconds kOperaStartPoll{300};

// Each run of certutil (adding or removing the user's CA) may take this long.
inline constexpr milliseconds kCertutilLimit{10000};
// Each run of gsettings or dbus-send (the desktop's proxy settings) may take this long.
inline constexpr milliseconds kDesktopToolLimit{10000};

struct BrowserTiming {
    milliseconds firefox_close_wait = kFirefoxCloseWait;
    milliseconds kill_retry_wait = kKillRetryWait;
    milliseconds firefox_start_poll = kFirefoxStartPoll;
    milliseconds firefox_settle = kFirefoxSettle;
    milliseconds opera_close_wait = kOperaCloseWait;
    milliseconds opera_close_poll = kOperaClosePoll;
    milliseconds opera_start_poll = kOperaStartPoll;
    milliseconds certutil_limit = kCertutilLimit;
    milliseconds desktop_tool_limit = kDesktopToolLimit;
};

struct BrowserHost {
    ProcessScope scope;       // every process the program may read
    int processor_width = 0;  // 32 or 64
    BrowserTiming timing;
    // When set, a stop asked for here ends every wait at once (the program's close).
    StopRequest* stop = nullptr;
    // NSS's certutil (Debian's libnss3-tools): a path, or empty for "certutil" on PATH.
    std::string certutil;
    // GLib's gsettings: a path, or empty for "gsettings" on PATH.
    std::string gsettings;
};

// Sleeps `wait`; false when a stop was asked for, and then at once.
inline bool PauseUnlessStopped(const BrowserHost& host, milliseconds wait) {
    if (host.stop) return host.stop->SleepFor(wait);
    std::this_thread::sleep_for(wait);
    return true;
}

// The real machine: every process, uname's width, the named waits.
inline BrowserHost SystemBrowserHost() {
    BrowserHost host;
    host.processor_width = ProcessorWidth();
    return host;
}

// The executable names looked for on PATH and in the process table. Firefox goes by two:
// the extended-support release (Debian's Firefox) is firefox-esr.
inline constexpr std::string_view kFirefoxPrograms[] = {"firefox", "firefox-esr"};
inline constexpr const char kOperaProgram[] = "opera";
// The browsers as the command log names them.
inline constexpr const char kFirefoxName[] = "Firefox";
inline constexpr const char kOperaName[] = "Opera";

}  // namespace korvanel
