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
#include <vector>

namespace korvanel::testing {

// True inside the namespace made by RerunInNetNamespace.
bool InNetNamespace();

// Runs the current test in a new namespace, after the shell commands `setup` (each ended
// by " && "). Returns the child's exit status, or -1 when no namespace can be made here.
int RerunInNetNamespace(const std::string& setup = "");

// Inside the namespace only: gives this process (and what it starts afterwards) a mount table
// of its own in which `hosts_file` stands in for /etc/hosts, so that names the test makes up
// resolve for it and for the servers it starts. The machine's /etc/hosts is not touched.
// False when it cannot be done here.
bool UseHostsFile(const std::string& hosts_file);

// Starts tests/checker/fake_gateway.py (in this namespace), waits for it to listen; gives
// its process id, or -1.
int StartFakeGateway(const std::string& external_address);
// Starts `argv` (argv[0] a full path) and waits for the first line of its standard output,
// handed back in `first_line`; gives its process id, or -1.
int StartHelper(const std::vector<std::string>& argv, std::string* first_line);
void StopProcess(int pid);

}  // namespace korvanel::testing

#define KORVANEL_RUN_IN_NET_NAMESPACE() KORVANEL_RUN_IN_NET_NAMESPACE_AFTER("")

#define KORVANEL_RUN_IN_NET_NAMESPACE_AFTER(setup)                             \
    do {                                                                       \
        if (!::korvanel::testing::InNetNamespace()) {                          \
            int status_ = ::korvanel::testing::RerunInNetNamespace(setup);     \
            if (status_ < 0) GTEST_SKIP() << "no network namespace available"; \
            ASSERT_EQ(status_, 0) << "the test failed inside its namespace";   \
            return;                                                            \
        }                                                                      \
    } while (0)
