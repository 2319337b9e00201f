// The request line rewrites over any line: NormaliseRequestLine, EffectiveVersion,
// ForceHttp10 and ToOriginForm, on the raw line and on the normalised one.
#include "engine/request_line.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace korvanel;

namespace {

struct Target {
    TargetHost host;
    TargetPort port;
};

void CheckOriginForm(StartLine& line, std::string_view terminator, bool normalised) {
    auto target = std::make_unique<Target>();
    std::string before = line.str();
    const bool result = ToOriginForm(line, target->host, target->port, terminator);
    fuzz::Use(line.view());
    fuzz::Use(target->host.view());
    fuzz::Use(target->port.view());
    if (!result) return;
    fuzz::Require(!target->host.empty(), "a target host is never empty");
    fuzz::Require(target->port.size() <= kMaxPortLength, "the port fits its limit");
    if (normalised) {
        fuzz::Require(line.view().ends_with(LineEndOf(terminator)), "origin form keeps line end");
        fuzz::Require(line.size() < before.size(), "origin form is shorter than the absolute form");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::string_view terminator = fuzz::TerminatorFor(data[0]);
    std::string_view configured = data[1] & 1 ? "1.0" : "1.1";
    std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    auto raw = std::make_unique<StartLine>(text);
    CheckOriginForm(*raw, terminator, false);

    auto line = std::make_unique<StartLine>(text);
    const bool result = NormaliseRequestLine(terminator, *line);
    fuzz::Use(line->view());
    if (!result) {
        fuzz::Require(line->view() == StartLine(text).view(), "a refused line stays as it was");
        return 0;
    }
    fuzz::Require(line->view().ends_with(LineEndOf(terminator)), "normalised line has line end");
    std::string once = line->str();
    fuzz::Require(NormaliseRequestLine(terminator, *line) && line->view() == once,
                  "normalising twice changes nothing");

    std::string_view version = EffectiveVersion(*line, terminator, configured);
    fuzz::Require(version == "1.0" || version == "1.1", "effective version is 1.0 or 1.1");

    auto downgraded = std::make_unique<StartLine>(*line);
    fuzz::Require(ForceHttp10(terminator, *downgraded), "ForceHttp10 gives 1");
    fuzz::Use(downgraded->view());
    fuzz::Require(downgraded->size() == line->size(), "ForceHttp10 keeps the length");
    std::string_view line_end = LineEndOf(terminator);
    if (line->view().ends_with(std::string("HTTP/1.1") + std::string(line_end))) {
        fuzz::Require(downgraded->view().ends_with(std::string("HTTP/1.0") + std::string(line_end)),
                      "HTTP/1.1 becomes HTTP/1.0");
    }

    CheckOriginForm(*line, terminator, true);
    return 0;
}
