#include "browser/kde_proxy.h"

#include <cstdlib>

#include "browser/browser_files.h"

namespace korvanel {
namespace {

struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;    // past the line end
    std::string_view body;  // without the line end
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t newline = text.find('\n', begin);
        std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view body = text.substr(begin, end - begin);
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
        lines.push_back({begin, end, body});
        begin = end;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The group a header line opens ("[Name]", KDE's flags such as "[$i]" after it ignored);
// nothing for any other line.
std::optional<std::string_view> GroupOf(std::string_view line) {
    line = Trim(line);
    if (!line.starts_with('[')) return std::nullopt;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return line.substr(1, close - 1);
}

std::string_view KeyOf(std::string_view line) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line).starts_with('#')) return {};
    return Trim(line.substr(0, equals));
}

std::string_view ValueOf(std::string_view line) {
    return Trim(line.substr(line.find('=') + 1));
}

// The lines of `group`: [first, last) indexes into `lines`; first == last when it is empty;
// nothing when there is no such group.
std::optional<std::pair<std::size_t, std::size_t>> GroupLines(const std::vector<Line>& lines,
                                                              std::string_view group) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (GroupOf(lines[i].body) != group) continue;
        std::size_t last = i + 1;
        while (last < lines.size() && !GroupOf(lines[last].body)) ++last;
        return std::make_pair(i + 1, last);
    }
    return std::nullopt;
}

std::string LineOf(const IniEntry& entry) {
    return entry.key + "=" + *entry.value + "\n";
}

}  // namespace

std::vector<IniEntry> ReadIniEntries(std::string_view text, std::string_view group,
                                     const std::vector<std::string_view>& keys) {
    std::vector<Line> lines = SplitLines(text);
    auto span = GroupLines(lines, group);
    std::vector<IniEntry> entries;
    for (std::string_view key : keys) {
        IniEntry entry{std::string(key), std::nullopt};
        for (std::size_t i = span ? span->first : 0; span && i < span->second; ++i) {
            if (KeyOf(lines[i].body) == key) entry.value = std::string(ValueOf(lines[i].body));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string WriteIniEntries(std::string_view text, std::string_view group,
                            const std::vector<IniEntry>& entries) {
    std::vector<Line> lines = SplitLines(text);
    auto span = GroupLines(lines, group);
    if (!span) {
        std::string out(text);
        bool any = false;
        for (const IniEntry& entry : entries) any = any || entry.value.has_value();
        if (!any) return out;
        if (!out.empty() && out.back() != '\n') out += '\n';
        if (!out.empty()) out += '\n';
        out += "[" + std::string(group) + "]\n";
        for (const IniEntry& entry : entries) {
            if (entry.value) out += LineOf(entry);
        }
        return out;
    }
    // Where the group's new keys go: after its last line that is not blank.
    std::size_t insert_after = span->first;
    for (std::size_t i = span->first; i < span->second; ++i) {
        if (!Trim(lines[i].body).empty()) insert_after = i + 1;
    }
    std::string out;
    std::vector<bool> placed(entries.size(), false);
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        if (i == insert_after) {
            for (std::size_t e = 0; e < entries.size(); ++e) {
                bool there = false;
                for (std::size_t j = span->first; j < span->second; ++j) {
                    there = there || KeyOf(lines[j].body) == entries[e].key;
                }
                if (!there && entries[e].value) {
                    // A group ending without a line end gets one before the new key.
                    if (!out.empty() && out.back() != '\n') out += '\n';
                    out += LineOf(entries[e]);
                }
            }
        }
        if (i == lines.size()) break;
        const Line& line = lines[i];
        std::string_view whole = text.substr(line.begin, line.end - line.begin);
        bool inside = i >= span->first && i < span->second;
        std::size_t which = entries.size();
        for (std::size_t e = 0; inside && e < entries.size(); ++e) {
            if (KeyOf(line.body) == entries[e].key) which = e;
        }
        if (which == entries.size()) {
            out += whole;
        } else if (entries[which].value && !placed[which]) {
            placed[which] = true;
            out += entries[which].key + "=" + *entries[which].value;
            out += whole.substr(line.body.size());
        }
    }
    return out;
}

std::string KdeProxyValue(std::string_view port) {
    return "http://127.0.0.1 " + std::string(port);
}

std::string KioslavercPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        std::string path(config);
        if (!path.ends_with('/')) path += '/';
        return path + kde_proxy::kFileName;
    }
    std::string folder = HomeFolder(".config");
    return folder.empty() ? folder : folder + kde_proxy::kFileName;
}

}  // namespace korvanel
