// A place in the runtime for what a higher layer keeps for the whole program run (the HTTPS
// layer's inspector, say). The runtime knows it only by this base: the layer that owns the
// state makes it on first use, under the slot's lock, and keeps its type to itself.
#pragma once

#include <memory>
#include <mutex>

namespace korvanel {

struct LayerState {
    virtual ~LayerState() = default;
};

struct LayerSlot {
    std::mutex mutex;
    std::unique_ptr<LayerState> state;  // under `mutex`; null until first used
};

}  // namespace korvanel
