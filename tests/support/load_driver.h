// Many clients at once through a proxy to a LoadOrigin: a mix of answers by length, chunked
// and until close, and request bodies, on kept-alive and new connections; every answer is
// checked byte for byte.
#pragma once

#include <atomic>
#include <string>

#include "support/load_origin.h"

namespace korvanel::testing {

struct LoadPlan {
    int clients = 50;
    int requests_per_client = 40;
    int timeout_ms = 10000;  // every single wait for bytes
};

struct LoadResult {
    int succeeded = 0;
    int failed = 0;
    std::string first_failure;
};

LoadResult RunLoad(uint16_t proxy_port, const LoadOrigin& origin, const LoadPlan& plan);

}  // namespace korvanel::testing
