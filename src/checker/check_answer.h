// Reading the checker's answers: the status line test, and the head data split into
// status line, header block and the body bytes that came with the head, with what the
// header block says about the body.
#pragma once

#include <string_view>

#include "checker/check_io.h"
#include "checker/check_limits.h"

namespace korvanel {

// ParseCheckStatusLine results.
inline constexpr int kStatusOk = 1;
inline constexpr int kStatusMalformed = -1;
inline constexpr int kStatusNotSuccess = -2;

// Version (up to 11 characters), code (up to 4) and reason (up to 128, to the line end)
// must all be there; the version must begin with "HTTP/1." and the code with "2".
int ParseCheckStatusLine(std::string_view line);

inline constexpr std::string_view kCheckerBanner = "This is KORVANEL Proxy Checker.";
inline constexpr std::string_view kCheckerTypeMarker = "checker_type: korvanel";

struct CheckAnswer {
    std::string_view status_line;   // with its line end
    std::string_view header_block;  // the header lines and the empty line
    std::string_view head_body;     // body bytes that came with the head
    long content_length = -1;       // -1 absent, -2 unreadable
    bool is_html = false;           // a "Content-Type: text/html" header line
    bool is_chunked = false;        // a chunked "Transfer-Encoding"
};

// Splits `head` by its terminator. Gives 1, or -1 when it cannot be split. The views
// point into `storage`, which must outlive `answer`.
struct CheckAnswerStorage;
int SplitCheckAnswer(const CheckHead& head, CheckAnswerStorage& storage, CheckAnswer& answer);

}  // namespace korvanel
