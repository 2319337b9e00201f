#include "tls/leaf_cache.h"

#include "tls/authority.h"

namespace korvanel {

X509Ptr LeafCache::Find(std::string_view name, std::time_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = index_.find(name);
    if (found == index_.end()) return nullptr;
    Order::iterator entry = found->second;
    if (entry->not_after - now < kRenewSeconds) {
        index_.erase(found);
        order_.erase(entry);
        return nullptr;
    }
    order_.splice(order_.begin(), order_, entry);
    return ShareCertificate(entry->certificate.get());
}

void LeafCache::Put(std::string_view name, X509Ptr certificate) {
    if (!certificate || capacity_ == 0) return;
    std::time_t not_after = NotAfterOf(certificate.get());
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = index_.find(name);
    if (found != index_.end()) {
        Order::iterator entry = found->second;
        entry->certificate = std::move(certificate);
        entry->not_after = not_after;
        order_.splice(order_.begin(), order_, entry);
        return;
    }
    if (order_.size() >= capacity_) {
        index_.erase(order_.back().name);
        order_.pop_back();
    }
    order_.push_front(Entry{std::string(name), std::move(certificate), not_after});
    index_.emplace(order_.front().name, order_.begin());
}

std::size_t LeafCache::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_.size();
}

}  // namespace korvanel
