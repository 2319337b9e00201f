#include "logging/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace korvanel {

namespace fs = std::filesystem;

std::string RotatedLogName(const std::string& path, const LocalTime& now, int attempt) {
    char suffix[96];
    int used = std::snprintf(suffix, sizeof suffix, ".%d_%d_%d_%d_%d_%d", now.year, now.month,
                             now.day, now.hour, now.minute, now.second);
    if (attempt > 0 && used > 0 && static_cast<std::size_t>(used) < sizeof suffix) {
        std::snprintf(suffix + used, sizeof suffix - used, "_%d", attempt);
    }
    return path + suffix;
}

int RotateLogFile(const std::string& path, const LocalTime& now) {
    for (int attempt = 0; attempt < kRotatedNameAttempts; ++attempt) {
        std::string rotated = RotatedLogName(path, now, attempt);
        std::error_code error;
        // A rename onto an existing name would replace that file, so taken names are skipped.
        // Callers hold the log's buffer lock, so no other flush of this file runs meanwhile.
        if (fs::exists(fs::symlink_status(rotated, error))) continue;
        if (error && error != std::errc::no_such_file_or_directory) return -1;
        fs::rename(path, rotated, error);
        return error ? -1 : 1;
    }
    return -1;
}

LogWrite AppendToLogFile(const std::string& path, std::string_view text, const Clock& clock) {
    // For the user alone (with inspection on, the header logs hold decrypted cookies and
    // Authorization lines), and never through a link someone put in the file's place.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno == ELOOP ? LogWrite::kLinkRefused : LogWrite::kFailed;
    // A file from before, or one a umask-less tool made, is closed to others too.
    struct stat status {};
    if (::fstat(fd, &status) == 0 && (status.st_mode & 077) != 0) ::fchmod(fd, 0600);
    std::FILE* file = ::fdopen(fd, "ab");
    if (file == nullptr) {
        ::close(fd);
        return LogWrite::kFailed;
    }
    std::fseek(file, 0, SEEK_END);
    long before = std::ftell(file);
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = ok && std::fflush(file) == 0 && std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    if (std::fclose(file) != 0) ok = false;
    if (!ok || size < 0) {
        // Take back a partial write: the buffer keeps the whole text for the next try.
        std::error_code ignored;
        if (before >= 0) fs::resize_file(path, static_cast<std::uintmax_t>(before), ignored);
        return LogWrite::kFailed;
    }
    if (size > kLogFileRotateBytes) RotateLogFile(path, clock.local_now());
    return LogWrite::kWritten;
}

}  // namespace korvanel
