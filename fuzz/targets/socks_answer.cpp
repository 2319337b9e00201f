// A SOCKS proxy's answers over any bytes: ReadSocksAnswer fed the way the connect feeds it
// (the bytes it asked for, then as many more as it says it needs), whole and one byte at a
// time. Input: one byte choosing the answer and whether a login was offered, then the bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/socks_messages.h"
#include "fuzz_support.h"

using namespace korvanel;

namespace {

constexpr SocksAnswer kAnswers[] = {SocksAnswer::kSocks5Choice, SocksAnswer::kSocks5Login,
                                    SocksAnswer::kSocks5Connect, SocksAnswer::kSocks4Connect};

// The verdict the connect would reach, reading only what the reader asks for.
SocksRead AsTheConnectReads(SocksAnswer answer, const std::vector<unsigned char>& bytes,
                            bool with_login, std::size_t& used) {
    std::size_t needed = FirstSocksBytes(answer);
    for (;;) {
        if (needed > bytes.size()) {
            used = bytes.size();
            return {SocksVerdict::kMore, needed, 0};
        }
        // A copy of exactly the bytes asked for: a read past them shows under ASan.
        std::vector<unsigned char> asked(bytes.begin(), bytes.begin() + static_cast<long>(needed));
        SocksRead read = ReadSocksAnswer(answer, asked.data(), asked.size(), with_login);
        used = needed;
        if (read.verdict != SocksVerdict::kMore) return read;
        fuzz::Require(read.needed > needed, "a reader that wants more asks for more");
        fuzz::Require(read.needed <= 4 + 1 + 255 + 2, "no answer is longer than 262 bytes");
        needed = read.needed;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const SocksAnswer answer = kAnswers[data[0] % 4];
    const bool with_login = (data[0] & 4) != 0;
    std::vector<unsigned char> bytes(data + 1, data + size);
    std::size_t used = 0;
    SocksRead read = AsTheConnectReads(answer, bytes, with_login, used);
    fuzz::Use(read.code);
    if (read.verdict == SocksVerdict::kGranted) {
        fuzz::Require(read.needed == used, "a granted answer is exactly what was read");
    }
    if (read.verdict == SocksVerdict::kRefused) {
        fuzz::Use(SocksRefusalText(answer, read.code, with_login)[0]);
    }
    // Judging the same bytes in one piece gives the same verdict.
    if (read.verdict != SocksVerdict::kMore) {
        SocksRead whole = ReadSocksAnswer(answer, bytes.data(), used, with_login);
        fuzz::Require(whole.verdict == read.verdict, "the verdict does not depend on the pieces");
    }
    return 0;
}
