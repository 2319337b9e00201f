#include "browser/opera_prefs.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace korvanel {
namespace {

// [line end before the key, line end that ends its line) of the first line whose key is
// `key`: the key followed by "=" or by the line's end. "Use HTTP" is not the key of a
// "Use HTTPS=..." line, which is left as it is.
bool FindLine(const EditBuffer& prefs, std::string_view line_end, std::string_view key,
              std::size_t& begin, std::size_t& end) {
    const std::string start = std::string(line_end) + std::string(key);
    for (std::size_t from = 0;; from = begin + 1) {
        begin = prefs.Find(start, from);
        if (begin == std::string::npos) return false;
        end = prefs.Find(line_end, begin + line_end.size());
        if (end == std::string::npos) return false;
        std::size_t after = begin + start.size();
        if (after == end || prefs.text()[after] == '=') return true;
    }
}

// "Use HTTP" replaced in place, or inserted after the "HTTP server" line.
void SetUseHttp(EditBuffer& prefs, std::string_view line_end, std::string_view line) {
    std::string replacement = std::string(line_end) + std::string(line);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindLine(prefs, line_end, opera_pref::kUseHttp, begin, end)) {
        prefs.ReplaceRange(begin, end, replacement);
    } else if (FindLine(prefs, line_end, opera_pref::kHttpServer, begin, end)) {
        prefs.Insert(end, replacement);
    }
}

// The line whose key is `key` replaced by `line`, or, when there is none, put after the
// line whose key is `after`.
void ReplaceOrInsertLine(EditBuffer& prefs, std::string_view line_end, std::string_view key,
                         std::string_view after, std::string_view line) {
    std::string replacement = std::string(line_end) + std::string(line);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindLine(prefs, line_end, key, begin, end)) {
        prefs.ReplaceRange(begin, end, replacement);
    } else if (FindLine(prefs, line_end, after, begin, end)) {
        prefs.Insert(end, replacement);
    }
}

// The line of `text` whose key is `key`, without its line end; empty when none.
std::string_view KeyLine(std::string_view text, std::string_view key) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? end : end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(key) && (line.size() == key.size() || line[key.size()] == '=')) {
            return line;
        }
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return {};
}

std::vector<std::string> RegularFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string path = folder + entry->d_name;
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

}  // namespace

std::string FindOperaPrefsFile(const std::string& folder) {
    std::vector<std::string> names = RegularFilesIn(folder);
    for (std::string_view wanted : opera_pref::kFileNames) {
        for (const std::string& name : names) {
            if (name == wanted) return name;
        }
        for (const std::string& name : names) {
            if (name.size() == wanted.size() &&
                strncasecmp(name.c_str(), wanted.data(), wanted.size()) == 0) {
                return name;
            }
        }
    }
    return {};
}

std::string_view PrefsLineEnd(std::string_view text) {
    std::size_t lf = text.find('\n');
    if (lf != std::string_view::npos && (lf == 0 || text[lf - 1] != '\r')) return opera_pref::kLf;
    return opera_pref::kCrLf;
}

void ApplyOperaSetEdits(EditBuffer& prefs, std::string_view port) {
    const std::string_view line_end = PrefsLineEnd(prefs.text());
    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindLine(prefs, line_end, opera_pref::kHttpServer, begin, end)) {
        std::string line(line_end);
        line += opera_pref::kHttpServerValue;
        line += opera_pref::kProxyHost;
        line += ':';
        line += port;
        prefs.ReplaceRange(begin, end, line);
    }
    SetUseHttp(prefs, line_end, opera_pref::kUseHttpOn);
}

void ApplyOperaResetEdits(EditBuffer& prefs) {
    const std::string_view line_end = PrefsLineEnd(prefs.text());
    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindLine(prefs, line_end, opera_pref::kHttpServer, begin, end)) {
        prefs.ReplaceRange(begin + line_end.size() + opera_pref::kHttpServer.size(), end, {});
    }
    SetUseHttp(prefs, line_end, opera_pref::kUseHttpOff);
}

std::string OperaHttpsLines(std::string_view text) {
    std::string lines;
    for (std::string_view key : {opera_pref::kHttpsServer, opera_pref::kUseHttps}) {
        std::string_view line = KeyLine(text, key);
        if (line.empty()) continue;
        lines += line;
        lines += '\n';
    }
    return lines;
}

void ApplyOperaHttpsSetEdits(EditBuffer& prefs, std::string_view port) {
    using namespace opera_pref;
    const std::string_view line_end = PrefsLineEnd(prefs.text());
    std::string server(kHttpsServerValue);
    server += kProxyHost;
    server += ':';
    server += port;
    ReplaceOrInsertLine(prefs, line_end, kHttpsServer, kHttpServer, server);
    ReplaceOrInsertLine(prefs, line_end, kUseHttps, kHttpsServer, kUseHttpsOn);
}

void ApplyOperaHttpsGiveBack(EditBuffer& prefs, std::string_view remembered) {
    using namespace opera_pref;
    const std::string_view line_end = PrefsLineEnd(prefs.text());
    for (std::string_view key : {kHttpsServer, kUseHttps}) {
        std::string_view line = KeyLine(remembered, key);
        std::size_t begin = 0;
        std::size_t end = 0;
        if (!line.empty()) {
            ReplaceOrInsertLine(prefs, line_end, key, key == kUseHttps ? kHttpsServer : kHttpServer,
                                line);
        } else if (FindLine(prefs, line_end, key, begin, end)) {
            prefs.ReplaceRange(begin, end, {});
        }
    }
}

}  // namespace korvanel
