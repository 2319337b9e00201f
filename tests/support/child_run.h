// Running part of a test in a child process that first changes what the test may not change
// for itself: its user, its mounts.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace korvanel::testing {

// Forks; the child runs `enter` and, when it gives true, `body`, and hands back what `body`
// returned (or a text saying how the child failed). Nothing when `enter` gave false. The
// child starts from the caller's memory as fork gives it, and ends without running
// destructors, so that it removes nothing of the caller's.
std::optional<std::string> RunInChild(const std::function<bool()>& enter,
                                      const std::function<std::string()>& body);

// File modes bind only an ordinary user: root passes every permission check.
inline constexpr unsigned kOrdinaryUser = 65534;  // nobody, and its group nogroup

// In a child: becomes the ordinary user (uid and gid kOrdinaryUser, no other groups) when
// root; true when the process is an ordinary user now (or was one already).
bool BecomeOrdinaryUser();

// Makes `folder` (and its parents, when missing) for the ordinary user: owned by it when
// the test runs as root, and reachable through `parent`, which is opened to everyone.
void MakeFolderForOrdinaryUser(const std::string& parent, const std::string& folder);

}  // namespace korvanel::testing
