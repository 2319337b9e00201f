// Where the program keeps its HTTPS inspector: made on first need, replaced when the user
// makes a new authority or names other trust anchors. Connections hold their own reference,
// so a replaced inspector lives on until its last connection ends.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korvanel {

class Inspector;

struct InspectorSlot {
    std::mutex mutex;
    std::shared_ptr<Inspector> inspector;
    // The last reason it could not be opened, said once in the command log.
    std::string problem;
    // Hosts whose clients refused the minted certificate, said once each.
    std::vector<std::string> refused_hosts;
};

}  // namespace korvanel
