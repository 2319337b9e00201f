#include "browser/firefox_prefs.h"

#include <string>

namespace korvanel {
namespace {

// [begin of the first `pattern`, begin of the next pref), or false.
bool FindPrefSpan(const EditBuffer& prefs, std::string_view pattern, std::size_t& begin,
                  std::size_t& next) {
    begin = prefs.Find(pattern);
    if (begin == std::string::npos) return false;
    next = prefs.Find(firefox_pref::kPrefStart, begin + 1);
    return next != std::string::npos;
}

std::string Line(std::string_view start, std::string_view value, std::string_view end) {
    std::string line(start);
    line += value;
    line += end;
    return line;
}

// Replace the pref when present, else insert the line after `anchor`.
void ReplaceOrInsert(EditBuffer& prefs, std::string_view pattern, std::string_view anchor,
                     std::string_view line) {
    if (prefs.Find(pattern) != std::string::npos) {
        ReplacePref(prefs, pattern, line);
    } else {
        InsertPrefAfter(prefs, anchor, line);
    }
}

// The line of `text` that begins with `pattern`, with its line end; empty when none does.
std::string_view LineStartingWith(std::string_view text, std::string_view pattern) {
    std::size_t begin = text.find(pattern);
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find('\n', begin);
    return text.substr(begin, end == std::string_view::npos ? end : end + 1 - begin);
}

}  // namespace

bool ReplacePref(EditBuffer& prefs, std::string_view pattern, std::string_view line) {
    std::size_t begin = 0;
    std::size_t next = 0;
    if (!FindPrefSpan(prefs, pattern, begin, next)) return false;
    prefs.ReplaceRange(begin, next, line);
    return true;
}

bool RemovePref(EditBuffer& prefs, std::string_view pattern) {
    return ReplacePref(prefs, pattern, {});
}

bool InsertPrefAfter(EditBuffer& prefs, std::string_view anchor, std::string_view line) {
    std::size_t begin = 0;
    std::size_t next = 0;
    if (!FindPrefSpan(prefs, anchor, begin, next)) return false;
    prefs.Insert(next, line);
    return true;
}

void EnsurePrefLine(EditBuffer& prefs, std::string_view line) {
    if (prefs.Find(line) != std::string::npos) return;
    const std::string& text = prefs.text();
    std::size_t end = text.size();
    if (!text.empty() && text.back() != '\n') {
        prefs.Insert(end, "\r\n");
        end = prefs.text().size();
    }
    prefs.Insert(end, line);
}

void ApplyFirefoxSetEdits(EditBuffer& prefs, std::string_view port) {
    using namespace firefox_pref;
    const std::string host = Line(kHttpHostLineStart, kProxyHost, kHttpHostLineEnd);
    const std::string port_line = Line(kHttpPort, port, kNumberLineEnd);
    const std::string type = Line(kProxyTypeLineStart, kManualProxy, kNumberLineEnd);
    ReplaceOrInsert(prefs, kHttpHost, kAnchor, host);
    ReplaceOrInsert(prefs, kHttpPort, kHttpHostLineStart, port_line);
    ReplaceOrInsert(prefs, kProxyType, kHttpPort, type);
    for (const std::string& line : {host, port_line, type}) EnsurePrefLine(prefs, line);
}

void ApplyFirefoxResetEdits(EditBuffer& prefs) {
    using namespace firefox_pref;
    const bool had_host = prefs.Find(kHttpHost) != std::string::npos;
    const bool had_port = prefs.Find(kHttpPort) != std::string::npos;
    const std::string type = Line(kProxyTypeLineStart, kDirectConnection, kNumberLineEnd);
    ReplacePref(prefs, kHttpHost, kHttpHostCleared);
    ReplacePref(prefs, kHttpPort, kHttpPortCleared);
    ReplaceOrInsert(prefs, kProxyType, kAnchor, type);
    if (had_host) EnsurePrefLine(prefs, kHttpHostCleared);
    if (had_port) EnsurePrefLine(prefs, kHttpPortCleared);
    EnsurePrefLine(prefs, type);
}

std::string FirefoxHttpsLines(std::string_view prefs_text) {
    using namespace firefox_pref;
    std::string lines(LineStartingWith(prefs_text, kSslHost));
    lines += LineStartingWith(prefs_text, kSslPort);
    return lines;
}

void ApplyFirefoxHttpsSetEdits(EditBuffer& prefs, std::string_view port) {
    using namespace firefox_pref;
    const std::string host = Line(kSslHostLineStart, kProxyHost, kHttpHostLineEnd);
    const std::string port_line = Line(kSslPort, port, kNumberLineEnd);
    ReplaceOrInsert(prefs, kSslHost, kHttpPort, host);
    ReplaceOrInsert(prefs, kSslPort, kSslHostLineStart, port_line);
    for (const std::string& line : {host, port_line}) EnsurePrefLine(prefs, line);
}

void ApplyFirefoxHttpsGiveBack(EditBuffer& prefs, std::string_view remembered) {
    using namespace firefox_pref;
    std::string_view host = LineStartingWith(remembered, kSslHost);
    std::string_view port = LineStartingWith(remembered, kSslPort);
    // A line neither remembered nor there now stays away.
    if (!host.empty() || prefs.Find(kSslHost) != std::string::npos) {
        std::string_view line = host.empty() ? kSslHostCleared : host;
        ReplaceOrInsert(prefs, kSslHost, kProxyType, line);
        EnsurePrefLine(prefs, line);
    }
    if (!port.empty() || prefs.Find(kSslPort) != std::string::npos) {
        std::string_view line = port.empty() ? kSslPortCleared : port;
        ReplaceOrInsert(prefs, kSslPort, kProxyType, line);
        EnsurePrefLine(prefs, line);
    }
}

}  // namespace korvanel
