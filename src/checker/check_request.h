// The check address and the one request a run sends, unchanged, to the check CGI and
// through every proxy.
#pragma once

#include <string_view>

#include "checker/check_limits.h"
#include "platform/fixed_text.h"

namespace korvanel {

// The name "Host:" and "Referer:" carry when the request is built without a host. A check
// address always names one (it is the host of the default address too), so a request that is
// sent never uses it.
inline constexpr std::string_view kCheckHostName = "checker.example.net";

inline constexpr std::string_view kCheckUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:15.0) Gecko/20100101 Firefox/15.0.1";

struct CheckTarget {
    FixedText<kCheckHostCapacity> host;
    FixedText<kCheckPortCapacity> port;  // "80" when the address names none
    FixedText<kCheckPathCapacity> path;  // always begins with "/"
};

// "http://" host [":" port] path. Gives 1, or -1 when there is no host or no path, the
// host part is too long, or the port text is longer than 8 characters.
int ParseCheckAddress(std::string_view address, CheckTarget& target);

using CheckRequest = FixedText<kCheckRequestCapacity>;

// The GET request with the absolute URL (the port only when it is not 80) and the fixed
// header lines. "Host:" and "Referer:" name the URL's host and port exactly as the request
// line does: web servers refuse a "Host:" that differs from the absolute URL, and a proxy
// that passes "Host:" on would otherwise reach another site of a name-based virtual host.
// Gives 1, or -1 when the parts are too long for the request.
int BuildCheckRequest(std::string_view host, std::string_view port, std::string_view path,
                      CheckRequest& request);

}  // namespace korvanel
