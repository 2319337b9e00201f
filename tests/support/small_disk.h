// A folder on a small disk of its own, to see what a save does when the disk
// fills part-way through a write.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace korvanel::testing {

// Runs `body` in a child process in whose own mount namespace `folder` is a fresh tmpfs of
// `bytes` (whole pages), invisible to every other process; hands back what `body` returned
// (or a text saying how the child failed). Nothing when no such namespace can be made here.
// The child starts from the caller's memory as fork gives it, and ends without running
// destructors, so that it removes nothing of the caller's.
std::optional<std::string> RunOnSmallDisk(const std::string& folder, std::size_t bytes,
                                          const std::function<std::string()>& body);

}  // namespace korvanel::testing
