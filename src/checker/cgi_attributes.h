// The attribute check: asks the check CGI itself, directly, whether it is a KORVANEL
// checker.
#pragma once

#include "checker/check_io.h"
#include "checker/check_request.h"

namespace korvanel {

enum class CgiAttributeResult : int {
    kDedicated = 1,           // a KORVANEL checker
    kConnectFailed = -1,      // no connection (or it ended before the head)
    kExchangeFailed = -2,     // sending or receiving failed, or the page has no banner
    kUnsupportedAnswer = -3,  // an answer of a kind the checker cannot read
    kNotSuccess = -4,         // a status other than 2xx
    kNotDedicated = -5,       // the banner without "checker_type: korvanel"
    kStopped = -9,
};

CgiAttributeResult QueryCgiAttributes(CheckContext& context, const CheckTarget& target,
                                      const CheckRequest& request);

}  // namespace korvanel
