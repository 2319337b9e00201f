#include "app/launch_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace korvanel {
namespace {

// The window program is found beside the proxy (the build) or in lib/korvanel/ beside its
// bin/ (an installation), and only where it can be run.
TEST(LaunchWindow, FindsTheWindowProgramInTheBuildAndInAnInstallation) {
    struct Case {
        const char* name;
        const char* window;  // where the window program is made, under the root; "" none
        mode_t mode;
        const char* expected;  // under the root; "" none
    };
    const Case cases[] = {
        {"build", "build/korvanel-window", 0755, "build/korvanel-window"},
        {"installation", "lib/korvanel/korvanel-window", 0755,
         "bin/../lib/korvanel/korvanel-window"},
        {"not executable", "build/korvanel-window", 0644, ""},
        {"missing", "", 0755, ""},
    };
    for (const Case& c : cases) {
        testing::TempDir root;
        namespace fs = std::filesystem;
        fs::create_directories(root.file("build"));
        fs::create_directories(root.file("bin"));
        if (c.window[0] != '\0') {
            fs::create_directories(fs::path(root.file(c.window)).parent_path());
            testing::WriteFile(root.file(c.window), "#!/bin/sh\n");
            ::chmod(root.file(c.window).c_str(), c.mode);
        }
        const std::string dir =
            root.file(std::string(c.window).rfind("lib", 0) == 0 ? "bin" : "build");
        const std::string expected = c.expected[0] == '\0' ? "" : root.file(c.expected);
        EXPECT_EQ(WindowProgramPath(dir), expected) << c.name;
    }
}

}  // namespace
}  // namespace korvanel
