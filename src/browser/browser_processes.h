// Closing a running browser and waiting for a started one, through the process table: a
// browser is a process whose executable has one of the browser's names (browser_host.h).
#pragma once

#include <string_view>
#include <vector>

#include "browser/browser_host.h"

namespace korvanel {

// Closes every process named `exe_name`: up to kFirefoxCloseTries rounds of SIGTERM, a
// wait, a look, SIGTERM once more to what is left, a wait and a look, stopping as soon as
// none is left; then SIGKILL to any that remain, retried until they are gone. False when
// a stop asked for through the host ended the waits first.
bool CloseBrowserWindows(const BrowserHost& host, std::string_view exe_name);

// Which edition of Opera (32 or 64) a process of that executable class belongs to, on a
// machine of `processor_width`: on a 32-bit machine every Opera is edition 32; on a 64-bit
// one a 32-bit executable is edition 32 and a 64-bit one edition 64; 0 for neither (an
// executable that cannot be read, any other width).
int OperaEditionOf(int processor_width, int elf_class);

// The running Opera processes of `edition`.
std::vector<int> FindOperaProcesses(const BrowserHost& host, int edition);

// SIGTERM to every Opera process of the edition, a wait, up to kOperaClosePolls looks while
// one is left; SIGKILL then to what still runs. False when a stop ended the waits first.
bool CloseOpera(const BrowserHost& host, int edition);

// Waits until an Opera process of the edition exists; true when one does.
bool WaitForOpera(const BrowserHost& host, int edition);

}  // namespace korvanel
