#include "browser/browser_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace korvanel {

int CopyReplacing(const std::string& from, const std::string& to) {
    std::error_code error;
    bool copied = std::filesystem::copy_file(
        from, to, std::filesystem::copy_options::overwrite_existing, error);
    return copied && !error ? 1 : -1;
}

std::optional<EditBuffer> ReadForEdit(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string text;
    char chunk[8192];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    std::size_t size = text.size();
    return EditBuffer(std::move(text), size);
}

int WriteExactly(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return -1;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : -1;
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

std::string HomeFolder(const char* below) {
    const char* home = std::getenv("HOME");
    if (!home || *home == '\0' || std::strlen(home) > kHomeLimit) return {};
    std::string folder(home);
    if (!folder.ends_with('/')) folder += '/';
    folder += below;
    if (!folder.ends_with('/')) folder += '/';
    return folder;
}

}  // namespace korvanel
