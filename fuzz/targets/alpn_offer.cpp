// The search for http/1.1 in a client's ALPN list, over any bytes. Input: the list.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "tls/certificate_name.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of its own, so that a read past the list shows under the address sanitizer.
    std::vector<unsigned char> list(data, data + size);
    const unsigned char* found = FindHttp11(list.data(), list.size());
    if (found == nullptr) return 0;
    const unsigned char* begin = list.data();
    fuzz::Require(found > begin && found + 8 <= begin + list.size(),
                  "the protocol lies within the list");
    fuzz::Require(found[-1] == 8 && std::memcmp(found, "http/1.1", 8) == 0,
                  "what is found is http/1.1 with its length");
    // It sits on an entry's boundary: walking the lengths from the start reaches it.
    std::size_t at = 0;
    while (begin + at + 1 < found) at += 1 + begin[at];
    fuzz::Require(begin + at + 1 == found, "the find starts an entry");
    fuzz::Use(static_cast<std::int64_t>(found - begin));
    return 0;
}
