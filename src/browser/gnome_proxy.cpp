#include "browser/gnome_proxy.h"

#include "platform/child_process.h"
#include "platform/process_table.h"

namespace korvanel {
namespace {

// What gsettings said, its first line, or its exit status when it said nothing.
std::string ProblemOf(const ChildRun& run) {
    std::string line = run.output.substr(0, run.output.find('\n'));
    if (!line.empty()) return line;
    if (run.end == ChildRun::End::kTimedOut) return "gsettings: time-out";
    return "gsettings: " + std::to_string(run.code);
}

}  // namespace

std::vector<GSetting> GnomeProxySettings(std::string_view port, bool tunnel) {
    using namespace gnome_proxy;
    const std::string number(port);
    return {
        {kProxy, kMode, kManual},
        {kProxy, "use-same-proxy", "false"},
        {kHttp, "host", kLoopback},
        {kHttp, "port", number},
        {kHttps, "host", tunnel ? kLoopback : "''"},
        {kHttps, "port", tunnel ? number : "0"},
    };
}

std::string FormatGSettings(const std::vector<GSetting>& settings) {
    std::string text;
    for (const GSetting& setting : settings) {
        text += setting.schema + ' ' + setting.key + ' ' + setting.value + '\n';
    }
    return text;
}

std::vector<GSetting> ParseGSettings(std::string_view text) {
    std::vector<GSetting> settings;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::size_t first = line.find(' ');
        std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos) continue;
        settings.push_back({std::string(line.substr(0, first)),
                            std::string(line.substr(first + 1, second - first - 1)),
                            std::string(line.substr(second + 1))});
    }
    return settings;
}

GSettingsTool::GSettingsTool(std::string path, std::chrono::milliseconds limit)
    : path_(path.empty() ? FindOnPath(gnome_proxy::kProgram) : std::move(path)), limit_(limit) {}

std::optional<std::string> GSettingsTool::Get(const std::string& schema, const std::string& key,
                                              std::string& problem) const {
    ChildRun run = RunChild(path_, {gnome_proxy::kProgram, "get", schema, key}, limit_);
    if (!run.Succeeded()) {
        problem = ProblemOf(run);
        return std::nullopt;
    }
    std::string value = run.output;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    // Warnings (a backend that keeps nothing, say) come before the value.
    std::size_t last = value.rfind('\n');
    if (last != std::string::npos) value.erase(0, last + 1);
    return value;
}

bool GSettingsTool::Set(const GSetting& setting, std::string& problem) const {
    ChildRun run = RunChild(
        path_, {gnome_proxy::kProgram, "set", setting.schema, setting.key, setting.value}, limit_);
    if (run.Succeeded()) return true;
    problem = ProblemOf(run);
    return false;
}

}  // namespace korvanel
