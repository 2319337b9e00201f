// The head reader's pure part over any bytes arriving in pieces cut at points the input
// chooses: ScanHead must give the verdict a look at everything received would give, and
// find the terminator a search of the whole text finds.
#include "engine/head_scan.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::string received;
    HeadScanState state;
    Terminator terminator;
    bool first = true;
    while (input.remaining_bytes() > 0) {
        std::size_t length = input.ConsumeIntegralInRange<std::size_t>(1, 4000);
        std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(1, 8);
        std::string pattern = input.ConsumeBytesAsString(length);
        for (std::size_t i = 0; i < repeat && received.size() < kHeadBufferSize; ++i) {
            received += pattern;
        }
        if (received.size() > kHeadLimit) received.resize(kHeadLimit);
        std::size_t first_piece = received.size();

        HeadScan scan = ScanHead(received, state, terminator);
        std::string_view whole = FindHeadTerminator(received);
        fuzz::Use(terminator.view());
        fuzz::Use(static_cast<std::int64_t>(scan) + BeginsLikeHttp(received));
        if (scan == HeadScan::kComplete) {
            fuzz::Require(!whole.empty() && terminator.view() == whole,
                          "the terminator found is the one in the whole text");
            return 0;
        }
        fuzz::Require(whole.empty(), "no terminator is passed over");
        if (scan == HeadScan::kNotHttp) {
            fuzz::Require(received.size() > kStartTestAfter && !BeginsLikeHttp(received),
                          "only a long enough text that does not begin like HTTP is refused");
            return 0;
        }
        if (scan == HeadScan::kNoLineEnd) {
            fuzz::Require(first && first_piece > kFirstPieceWithoutLineEndLimit &&
                              received.find_first_of("\r\n") == std::string::npos,
                          "only a long first piece without a line end is refused");
            return 0;
        }
        if (scan == HeadScan::kTooLong) {
            fuzz::Require(received.size() >= kHeadLimit, "only a full buffer is too long");
            return 0;
        }
        fuzz::Require(scan == HeadScan::kMore && received.size() < kHeadLimit,
                      "anything else asks for more");
        first = false;
    }
    return 0;
}
