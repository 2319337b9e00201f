// The logins of the upstream proxies, in a file of their own beside `data`: users copy and
// sync `data`, and a password must not travel with it. One login a line, CR LF or LF:
//
//   proxy.example.net:3128 alice:secret password
//
// the address as the proxy list has it, one blank, the user name up to the first ":", and
// the password as the rest of the line. Blank lines and lines beginning with "#" are left
// alone. The file is for its owner alone: made with mode 0600, written through the same
// safe save as `data`, and refused when group or others may read or write it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/upstream_kind.h"

namespace korvanel {

inline constexpr const char kLoginsFileName[] = "proxy-logins";

enum class LoginsRead {
    kMissing,  // no file: no logins
    kRead,
    kRefused,  // `problem` says why; the rows go without logins
};

// Reads the file at `path` into `logins`.
LoginsRead ReadLoginsFile(const std::string& path, std::vector<ProxyLogin>& logins,
                          std::string& problem);

// The logins in the same text, read back as they were.
LoginsRead ParseLoginsText(std::string_view text, std::vector<ProxyLogin>& logins,
                           std::string& problem);
std::string FormatLoginsText(const std::vector<ProxyLogin>& logins);

}  // namespace korvanel
