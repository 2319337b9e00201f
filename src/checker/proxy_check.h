// One proxy's check: the check request sent through the proxy, the verdict and speed
// written into its row.
#pragma once

#include <memory>
#include <string_view>

#include "checker/check_io.h"
#include "checker/check_request.h"
#include "checker/local_identity.h"

namespace korvanel {

struct ProxyEntry;

// The kind codes a check writes (the speed is "0" for all but the first two).
namespace proxy_kind {
inline constexpr std::string_view kAnonymous = "9";
inline constexpr std::string_view kNotAnonymous = "6";
inline constexpr std::string_view kDead = "3";
inline constexpr std::string_view kUnsupported = "1";
inline constexpr std::string_view kUnchecked = "0";
}  // namespace proxy_kind

// One proxy's work, made by the run's driver and released by the worker that runs it.
struct CheckJob {
    CheckJob(Runtime& rt, SocketRegistry& sockets, const CheckLimits& limits)
        : context{rt, sockets, limits} {}

    CheckContext context;
    int total = 0;            // rows in the proxy list when the job was made
    int* progress = nullptr;  // the run's progress counter (under both locks)
    CheckRequest request;
    FixedText<kJobHostCapacity> host;  // the row's address before its first ":"
    FixedText<kJobPortCapacity> port;  // and after it
    ExternalAddress external_address;  // empty when unknown
    const LocalIdentityList* local_identity = nullptr;
    ProxyEntry* entry = nullptr;
};

// Splits a row's address at its first ":"; without one, host and port stay empty.
void SplitProxyAddress(std::string_view address, CheckJob& job);

// Checks one proxy and writes kind and speed into the job's row, counts the proxy as done
// and reports the progress (the progress line and one step of the progress bar).
void CheckOneProxy(std::unique_ptr<CheckJob> job);

}  // namespace korvanel
