#include "runtime/upstream_kind.h"

namespace korvanel {

std::string_view UpstreamKindName(UpstreamKind kind) {
    switch (kind) {
        case UpstreamKind::kSocks5:
            return "socks5";
        case UpstreamKind::kSocks4a:
            return "socks4a";
        case UpstreamKind::kHttp:
            break;
    }
    return "http";
}

bool ParseUpstreamKindName(std::string_view name, UpstreamKind& kind) {
    for (UpstreamKind k : {UpstreamKind::kHttp, UpstreamKind::kSocks5, UpstreamKind::kSocks4a}) {
        if (name == UpstreamKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

}  // namespace korvanel
