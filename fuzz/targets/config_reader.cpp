// ReadConfiguration over any file contents. The reader only reads the file `data`, so each
// input is written there, in a directory made once per run. A file it accepts must come
// back unchanged through the writer: write, read again, write again, same text.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "quiet_front_end.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"

using namespace korvanel;

namespace {

std::string MakeRunDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvanel-fuzz-XXXXXX").string();
    fuzz::Require(::mkdtemp(pattern.data()) != nullptr, "a temporary directory can be made");
    return pattern;
}

struct Run {
    std::string dir = MakeRunDirectory();
    fuzz::QuietFrontEnd front;
    Runtime rt{front, dir};
};

void WriteData(const Run& run, std::string_view text) {
    int fd = ::open(run.rt.PathOf(kConfigFileName).c_str(),
                    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    fuzz::Require(fd >= 0, "data can be written");
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        fuzz::Require(wrote > 0, "data can be written");
        done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
}

std::string ReadData(const Run& run) {
    int fd = ::open(run.rt.PathOf(kConfigFileName).c_str(), O_RDONLY | O_CLOEXEC);
    fuzz::Require(fd >= 0, "data can be read");
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    ::close(fd);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Run* run = new Run;  // ends with the process; its directory goes at exit
    static const bool cleanup = [] {
        std::atexit([] { std::filesystem::remove_all(run->dir); });
        return true;
    }();
    (void)cleanup;

    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string before = FormatConfiguration(run->rt.settings);
    WriteData(*run, text);
    int result = ReadConfiguration(run->rt);
    fuzz::Require(result == 1 || result == -1, "ReadConfiguration gives 1 or -1");
    std::string first = FormatConfiguration(run->rt.settings);
    fuzz::Use(first);
    if (result != 1) {
        fuzz::Require(first == before, "a rejected file leaves the settings as they were");
        fuzz::Require(ReadData(*run) == text, "a rejected file is left as it was");
        return 0;
    }

    WriteData(*run, first);
    fuzz::Require(ReadConfiguration(run->rt) == 1, "the reader takes what the writer wrote");
    std::string second = FormatConfiguration(run->rt.settings);
    fuzz::Use(second);
    fuzz::Require(second == first, "write, read and write again gives the same text");
    return 0;
}
