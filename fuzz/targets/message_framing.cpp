// The framing reader against a second, plain reader of the same grammar (field lines of
// RFC 9112, the Transfer-Encoding and Content-Length rules of RFC 9110/9112): both must reach
// the same verdict, and the same frame when they accept.
#include "engine/message_framing.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"

using namespace korvanel;

namespace {

std::string Lower(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return lowered;
}

bool Tchar(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return c != 0 &&
           std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string_view Ows(std::string_view s) {
    std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    std::size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> ListOf(std::string_view value) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = value.find(',', start);
        std::string_view item = Ows(value.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!item.empty()) items.push_back(item);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

struct Reference {
    FramingVerdict verdict = FramingVerdict::kOk;
    bool chunked = false;
    std::int64_t length = -1;
};

Reference Read(std::string_view block, std::string_view line_end, MessageSide side) {
    Reference bad{FramingVerdict::kMalformed, false, -1};
    std::vector<std::string> codings;
    std::vector<std::string_view> lengths;
    bool saw_coding_line = false;
    std::size_t at = 0;
    while (at < block.size()) {
        std::size_t end = block.find(line_end, at);
        std::string_view line =
            block.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? block.size() : end + line_end.size();
        if (line_end == "\n" && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        // field-line = field-name ":" OWS field-value OWS
        std::size_t name_end = 0;
        while (name_end < line.size() && Tchar(static_cast<unsigned char>(line[name_end])))
            ++name_end;
        if (name_end == 0 || name_end == line.size() || line[name_end] != ':') return bad;
        std::string_view value = Ows(line.substr(name_end + 1));
        for (unsigned char c : value) {
            bool vchar = (c >= 0x21 && c <= 0x7e) || c >= 0x80 || c == ' ' || c == '\t';
            if (!vchar) return bad;
        }
        std::string name = Lower(line.substr(0, name_end));
        if (name == "transfer-encoding") {
            saw_coding_line = true;
            for (std::string_view item : ListOf(value)) {
                // transfer-coding = token *( OWS ";" OWS transfer-parameter )
                std::string_view token = Ows(item.substr(0, item.find(';')));
                for (unsigned char c : token) {
                    if (!Tchar(c)) return bad;
                }
                if (token.empty()) return bad;
                std::string coding = Lower(token);
                if (coding == "chunked" && token.size() != item.size()) return bad;
                codings.push_back(coding);
            }
        } else if (name == "content-length") {
            for (std::string_view item : ListOf(value)) lengths.push_back(item);
            if (ListOf(value).size() !=
                static_cast<std::size_t>(std::count(value.begin(), value.end(), ',')) + 1)
                return bad;
        }
    }
    std::optional<std::int64_t> length;
    for (std::string_view digits : lengths) {
        if (digits.find_first_not_of("0123456789") != std::string_view::npos) return bad;
        std::size_t first = digits.find_first_not_of('0');
        std::string_view significant = first == std::string_view::npos ? "0" : digits.substr(first);
        if (significant.size() > 19 ||
            (significant.size() == 19 && significant > "9223372036854775807"))
            return bad;
        std::int64_t n = std::stoll(std::string(significant));
        if (length && *length != n) return bad;
        length = n;
    }
    if (saw_coding_line && (!lengths.empty() || codings.empty())) return bad;
    Reference frame;
    frame.length = length.value_or(-1);
    if (!saw_coding_line) return frame;
    const auto chunked_count = std::count(codings.begin(), codings.end(), "chunked");
    const bool last_chunked = codings.back() == "chunked";
    if (side == MessageSide::kRequest) {
        for (std::size_t i = 0; i + 1 < codings.size(); ++i) {
            const std::string& c = codings[i];
            if (c != "chunked" && c != "gzip" && c != "x-gzip" && c != "deflate" &&
                c != "compress" && c != "x-compress") {
                return {FramingVerdict::kUnknownCoding, false, -1};
            }
        }
        if (!last_chunked) {
            const std::string& c = codings.back();
            bool known = c == "gzip" || c == "x-gzip" || c == "deflate" || c == "compress" ||
                         c == "x-compress";
            return known ? bad : Reference{FramingVerdict::kUnknownCoding, false, -1};
        }
        if (chunked_count != 1) return bad;
    } else if (chunked_count > 1 || (chunked_count == 1 && !last_chunked)) {
        return bad;
    }
    frame.chunked = last_chunked;
    return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string_view terminator = fuzz::TerminatorFor(data[0]);
    const MessageSide side = (data[0] & 0x10) != 0 ? MessageSide::kAnswer : MessageSide::kRequest;
    std::string_view block(reinterpret_cast<const char*>(data + 1), size - 1);

    Framing framing = ReadFraming(block, terminator, side);
    Reference reference = Read(block, terminator.substr(0, terminator.size() / 2), side);
    fuzz::Require(framing.verdict == reference.verdict, "the verdict is the reference reader's");
    if (framing.verdict == FramingVerdict::kOk) {
        fuzz::Require(framing.chunked == reference.chunked,
                      "chunks as the reference reader sees them");
        fuzz::Require(framing.length == reference.length, "the length the reference reader reads");
    }
    return 0;
}
