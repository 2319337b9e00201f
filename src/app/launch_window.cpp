#include "app/launch_window.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace korvanel {

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

std::string OwnDirectory() {
    char path[4096];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string_view own(path, static_cast<std::size_t>(length));
    std::size_t slash = own.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(own.substr(0, slash));
}

}  // namespace

bool DisplayAvailable() {
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::string WindowProgramPath(std::string_view program_dir) {
    const std::string dir(program_dir);
    for (const std::string& path :
         {dir + "/" + kWindowProgramName, dir + "/../lib/korvanel/" + kWindowProgramName}) {
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

void ExecWindowProgram(char** argv, std::string& error) {
    const std::string dir = OwnDirectory();
    const std::string path = WindowProgramPath(dir);
    if (path.empty()) {
        error = std::string(kWindowProgramName) + " was not found beside " +
                (dir.empty() ? std::string("this program") : dir);
        return;
    }
    ::execv(path.c_str(), argv);
    error = path + ": " + std::strerror(errno);
}

}  // namespace korvanel
