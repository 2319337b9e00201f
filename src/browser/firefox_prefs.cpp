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

void ApplyFirefoxSetEdits(EditBuffer& prefs, std::string_view port) {
    using namespace firefox_pref;
    ReplaceOrInsert(prefs, kHttpHost, kAnchor,
                    Line(kHttpHostLineStart, kProxyHost, kHttpHostLineEnd));
    ReplaceOrInsert(prefs, kHttpPort, kHttpHostLineStart, Line(kHttpPort, port, kNumberLineEnd));
    ReplaceOrInsert(prefs, kProxyType, kHttpPort,
                    Line(kProxyTypeLineStart, kManualProxy, kNumberLineEnd));
}

void ApplyFirefoxResetEdits(EditBuffer& prefs) {
    using namespace firefox_pref;
    RemovePref(prefs, kHttpHost);
    RemovePref(prefs, kHttpPort);
    ReplaceOrInsert(prefs, kProxyType, kAnchor,
                    Line(kProxyTypeLineStart, kDirectConnection, kNumberLineEnd));
}

std::string FirefoxHttpsLines(std::string_view prefs_text) {
    using namespace firefox_pref;
    std::string lines(LineStartingWith(prefs_text, kSslHost));
    lines += LineStartingWith(prefs_text, kSslPort);
    return lines;
}

void ApplyFirefoxHttpsSetEdits(EditBuffer& prefs, std::string_view port) {
    using namespace firefox_pref;
    ReplaceOrInsert(prefs, kSslHost, kHttpPort,
                    Line(kSslHostLineStart, kProxyHost, kHttpHostLineEnd));
    ReplaceOrInsert(prefs, kSslPort, kSslHostLineStart, Line(kSslPort, port, kNumberLineEnd));
}

void ApplyFirefoxHttpsGiveBack(EditBuffer& prefs, std::string_view remembered) {
    using namespace firefox_pref;
    std::string_view host = LineStartingWith(remembered, kSslHost);
    std::string_view port = LineStartingWith(remembered, kSslPort);
    // A line neither remembered nor there now stays away.
    if (!host.empty() || prefs.Find(kSslHost) != std::string::npos) {
        ReplaceOrInsert(prefs, kSslHost, kProxyType, host.empty() ? kSslHostCleared : host);
    }
    if (!port.empty() || prefs.Find(kSslPort) != std::string::npos) {
        ReplaceOrInsert(prefs, kSslPort, kProxyType, port.empty() ? kSslPortCleared : port);
    }
}

}  // namespace korvanel
