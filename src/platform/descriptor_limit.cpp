#include "platform/descriptor_limit.h"

#include <sys/resource.h>

namespace korvanel {

long RaiseDescriptorLimit() {
    constexpr rlim_t kUnlimitedCeiling = 1 << 20;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? kUnlimitedCeiling : limit.rlim_max;
    if (wanted > limit.rlim_cur) {
        rlimit raised{wanted, limit.rlim_max};
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit.rlim_cur = wanted;
    }
    return limit.rlim_cur == RLIM_INFINITY ? static_cast<long>(kUnlimitedCeiling)
                                           : static_cast<long>(limit.rlim_cur);
}

}  // namespace korvanel
