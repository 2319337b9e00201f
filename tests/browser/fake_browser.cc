// A stand-in for a browser in the browser tests, installed under the name `firefox` or
// `opera`. At start it appends "<name> <pid>" to the file named by FAKE_BROWSER_LOG and, when
// FAKE_BROWSER_WATCH names a file, copies that file (as it is at this moment) to the log's
// name followed by ".seen". Then it runs until it is signalled, at most a minute.
// FAKE_BROWSER_IGNORE_TERM makes it ignore SIGTERM, like a browser that will not close.
// Like Firefox, it then locks the profile it opens (the folder after --profile, else the
// watched file's folder) with a link "lock" -> "127.0.0.1:+PID", removed when SIGTERM ends it.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr unsigned kLifetimeSeconds = 60;
char lock_path[4096];

void Unlock(int) {
    if (lock_path[0]) unlink(lock_path);
    _exit(0);
}

void LockProfile(int argc, char** argv) {
    std::string folder;
    if (argc == 3 && std::strcmp(argv[1], "--profile") == 0) {
        folder = argv[2];
    } else if (const char* watched = std::getenv("FAKE_BROWSER_WATCH")) {
        folder = watched;
        folder.erase(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/'));
    }
    if (folder.empty()) return;
    std::snprintf(lock_path, sizeof lock_path, "%s/lock", folder.c_str());
    std::string target = "127.0.0.1:+" + std::to_string(getpid());
    unlink(lock_path);
    if (symlink(target.c_str(), lock_path) != 0) lock_path[0] = '\0';
}

void CopyWatchedFile(const char* watched, const std::string& seen) {
    std::FILE* out = std::fopen(seen.c_str(), "wb");
    if (!out) return;
    if (std::FILE* in = std::fopen(watched, "rb")) {
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) std::fwrite(chunk, 1, got, out);
        std::fclose(in);
    } else {
        std::fputs("<missing>", out);
    }
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGTERM, std::getenv("FAKE_BROWSER_IGNORE_TERM") ? SIG_IGN : Unlock);
    const char* name = std::strrchr(argv[0], '/');
    name = name ? name + 1 : argv[0];
    if (const char* log = std::getenv("FAKE_BROWSER_LOG")) {
        if (const char* watched = std::getenv("FAKE_BROWSER_WATCH")) {
            CopyWatchedFile(watched, std::string(log) + ".seen");
        }
        if (std::FILE* out = std::fopen(log, "a")) {
            std::fprintf(out, "%s %d\n", name, static_cast<int>(getpid()));
            std::fclose(out);
        }
    }
    LockProfile(argc, argv);
    alarm(kLifetimeSeconds);
    for (;;) pause();
}
