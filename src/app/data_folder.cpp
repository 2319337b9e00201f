#include "app/data_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "texts.h"

namespace korvanel {

namespace {

constexpr const char kDataHomeBelowHome[] = ".local/share";
// The build gives the project's version.
constexpr const char kVersionLine[] = "korvanel " KORVANEL_VERSION "\n";

bool IsAbsolute(const char* path) {
    return path && path[0] == '/';
}

// `base` + "/" + `name`, without doubling the slashes a base may end with.
std::string Join(std::string base, const char* name) {
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/" + name;
}

// A printf format with one or two %s filled in; the texts are short but paths are not.
std::string Format(const char* format, const char* first, const char* second = "") {
    int size = std::snprintf(nullptr, 0, format, first, second);
    if (size <= 0) return format;
    std::string out(static_cast<std::size_t>(size), '\0');
    std::snprintf(out.data(), out.size() + 1, format, first, second);
    return out;
}

StartDecision Stop(int status, std::string message) {
    return {false, status, std::move(message)};
}

// One folder: made with the mode (set again afterwards, so that the umask cannot take the
// owner's rights away), or found to be a folder already.
int MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), kDataFolderMode) == 0) {
        return ::chmod(path.c_str(), kDataFolderMode) == 0 ? 0 : errno;
    }
    if (errno != EEXIST) return errno;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const argv[], Workplace& place, std::string& error) {
    if (argc <= 1) {
        place = Workplace::kCurrentDirectory;
        return true;
    }
    if (argc == 2 && argv[1] == kDesktopOption) {
        place = Workplace::kDataFolder;
        return true;
    }
    // The first argument that is not the launcher's option (or the second one given).
    const char* wrong = argv[1] == kDesktopOption ? argv[2] : argv[1];
    error = Format(text::kUnknownArgument, wrong) + text::kUsage;
    return false;
}

std::string DataFolderPath(const EnvironmentLookup& env) {
    const char* data_home = env("XDG_DATA_HOME");
    if (IsAbsolute(data_home)) return Join(data_home, kDataFolderName);
    const char* home = env("HOME");
    if (!IsAbsolute(home)) return {};
    return Join(Join(home, kDataHomeBelowHome), kDataFolderName);
}

int MakeFolders(const std::string& path) {
    if (path.empty() || path[0] != '/') return EINVAL;
    std::size_t end = 0;
    do {
        end = path.find('/', end + 1);
        std::string part = path.substr(0, end);
        // A run of slashes or a trailing slash adds no folder of its own.
        if (part.back() == '/') continue;
        if (int error = MakeFolder(part)) return error;
    } while (end != std::string::npos);
    return 0;
}

int ReportStop(const StartDecision& decision) {
    std::FILE* out = decision.to_stdout ? stdout : stderr;
    std::fputs(decision.message.c_str(), out);
    std::fflush(out);
    return decision.exit_status;
}

StartDecision EnterWorkplace(int argc, const char* const argv[], const EnvironmentLookup& env) {
    if (argc == 2 && argv[1] == kHelpOption) return {false, 0, text::kUsage, true};
    if (argc == 2 && argv[1] == kVersionOption) return {false, 0, kVersionLine, true};
    Workplace place = Workplace::kCurrentDirectory;
    std::string error;
    if (!ParseCommandLine(argc, argv, place, error)) return Stop(kExitUsage, error);
    if (place == Workplace::kCurrentDirectory) return {};

    const std::string folder = DataFolderPath(env);
    if (folder.empty()) return Stop(kExitNoDataFolder, text::kNoDataHome);
    if (int failure = MakeFolders(folder)) {
        return Stop(kExitNoDataFolder,
                    Format(text::kDataFolderNotMade, folder.c_str(), std::strerror(failure)));
    }
    if (::chdir(folder.c_str()) != 0) {
        return Stop(kExitNoDataFolder,
                    Format(text::kDataFolderNotEntered, folder.c_str(), std::strerror(errno)));
    }
    return {};
}

}  // namespace korvanel
