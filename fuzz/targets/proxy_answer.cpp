// An upstream proxy's answer to a CONNECT of this program's own, as the head reader hands it
// on: the head to its blank line, and whatever came behind it.
//
// A tunnel is taken as standing only for an HTTP/1.x 2xx status line; a refusal passed on to
// the browser is one whose body's end is certain; the bytes behind the head are the input's
// own last bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/answer_body.h"
#include "engine/head_scan.h"
#include "engine/proxy_connect.h"
#include "fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view head(reinterpret_cast<const char*>(data), size);
    const std::string_view terminator = FindHeadTerminator(head);
    if (terminator.empty()) return 0;

    StartLine status;
    HeaderBlock headers;
    HeadBody behind;
    Framing framing;
    const ProxyAnswer answer = ReadProxyAnswer(head, terminator, status, headers, behind, framing);
    if (answer != ProxyAnswer::kUnreadable) {
        fuzz::Require(status.starts_with("HTTP/1."), "a read answer has an HTTP/1.x status line");
        fuzz::Require(head.ends_with(behind.view()), "the bytes behind are the head's last ones");
    }
    const bool success = StatusCodeOf(status.view()).starts_with("2");
    if (answer == ProxyAnswer::kOpened) fuzz::Require(success, "a tunnel stands on 2xx only");
    if (answer == ProxyAnswer::kRefused) {
        fuzz::Require(!success, "a refusal is no 2xx");
        fuzz::Require(framing.verdict == FramingVerdict::kOk, "a refusal's body has a sure end");
    }
    fuzz::Use(status.view());
    fuzz::Use(headers.view());
    return 0;
}
