#include "checker/net_namespace.h"

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace korvanel::testing {

namespace {
constexpr const char* kMarker = "KORVANEL_IN_NET_NAMESPACE";
}

bool InNetNamespace() {
    return std::getenv(kMarker) != nullptr;
}

int RerunInNetNamespace(const std::string& setup) {
    if (std::system("unshare -n true >/dev/null 2>&1") != 0) return -1;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = std::string(info->test_suite_name()) + "." + info->name();
    std::string command =
        "unshare -n sh -c 'ip link set lo up && ip link set lo multicast on && "
        "ip route add 239.0.0.0/8 dev lo src 127.0.0.1 && " +
        setup + std::string(kMarker) + "=1 exec \"" + program + "\" --gtest_filter=" + filter + "'";
    int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

bool UseHostsFile(const std::string& hosts_file) {
    if (!InNetNamespace()) return false;
    // The new mount table must not pass its mounts back to the machine's: private first.
    if (unshare(CLONE_NEWNS) != 0) return false;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    return mount(hosts_file.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

int StartHelper(const std::vector<std::string>& argv, std::string* first_line) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(ready[1], 1);
        close(ready[0]);
        close(ready[1]);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(ready[1]);
    char line[64] = "";
    FILE* from_child = fdopen(ready[0], "r");
    bool ok = pid > 0 && from_child != nullptr && std::fgets(line, sizeof line, from_child);
    if (from_child) std::fclose(from_child);
    if (!ok) {
        if (pid > 0) StopProcess(pid);
        return -1;
    }
    if (first_line) {
        *first_line = line;
        while (!first_line->empty() && first_line->back() == '\n') first_line->pop_back();
    }
    return pid;
}

int StartFakeGateway(const std::string& external_address) {
    return StartHelper(
        {"/usr/bin/python3", std::string(KORVANEL_SOURCE_DIR) + "/tests/checker/fake_gateway.py",
         external_address},
        nullptr);
}

void StopProcess(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace korvanel::testing
