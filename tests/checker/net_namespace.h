// Runs a test inside a private network namespace of its own, where only loopback exists
// (with a multicast route on it), so that gateway discovery never reaches a real network.
//
// Use at the top of a test body:
//     KORVANEL_RUN_IN_NET_NAMESPACE();
// Outside a namespace it runs this one test again in a fresh namespace (a child process of
// the same test program) and passes or fails with it; when namespaces cannot be made here
// the test is skipped.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace korvanel::testing {

// True inside the namespace made by RerunInNetNamespace.
bool InNetNamespace();

// Runs the current test in a new namespace. Returns the child's exit status, or -1 when no
// namespace can be made here.
int RerunInNetNamespace();

// Starts tests/checker/fake_gateway.py (in this namespace), waits for it to listen; gives
// its process id, or -1.
int StartFakeGateway(const std::string& external_address);
void StopProcess(int pid);

}  // namespace korvanel::testing

#define KORVANEL_RUN_IN_NET_NAMESPACE()                                        \
    do {                                                                       \
        if (!::korvanel::testing::InNetNamespace()) {                          \
            int status_ = ::korvanel::testing::RerunInNetNamespace();          \
            if (status_ < 0) GTEST_SKIP() << "no network namespace available"; \
            ASSERT_EQ(status_, 0) << "the test failed inside its namespace";   \
            return;                                                            \
        }                                                                      \
    } while (0)
