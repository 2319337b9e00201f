// Minted certificates kept by name, so that a host's next connection costs no signature.
// Bounded: the least recently used name goes when a new one comes to a full cache.
#pragma once

#include <cstddef>
#include <ctime>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tls/openssl_handles.h"

namespace korvanel {

class LeafCache {
  public:
    static constexpr std::size_t kDefaultCapacity = 1000;
    // A certificate with less than this left is minted anew.
    static constexpr long kRenewSeconds = 24L * 60 * 60;

    explicit LeafCache(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // The certificate kept for `name` (a second owner), if it has a day or more left at
    // `now`; null otherwise (an expiring one is dropped).
    X509Ptr Find(std::string_view name, std::time_t now);
    // Keeps `certificate` for `name`, replacing what was kept.
    void Put(std::string_view name, X509Ptr certificate);

    std::size_t size() const;

  private:
    struct Entry {
        std::string name;
        X509Ptr certificate;
        std::time_t not_after = 0;
    };
    using Order = std::list<Entry>;  // most recently used first

    std::size_t capacity_;
    mutable std::mutex mutex_;
    Order order_;
    std::unordered_map<std::string_view, Order::iterator> index_;  // views into order_
};

}  // namespace korvanel
