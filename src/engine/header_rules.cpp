#include "engine/header_rules.h"

#include <array>

#include "engine/header_edit.h"
#include "engine/header_predicates.h"

namespace korvanel {
namespace {

using Names4 = std::array<std::string_view, 4>;
using Names3 = std::array<std::string_view, 3>;

constexpr Names4 kUserAgent = {"User-Agent", "User-agent", "user-agent", "USER-AGENT"};
constexpr Names4 kAcceptEncoding = {"Accept-Encoding", "Accept-encoding", "accept-encoding",
                                    "ACCEPT-ENCODING"};
constexpr Names4 kProxyConnection = {"Proxy-Connection", "Proxy-connection", "proxy-connection",
                                     "PROXY-CONNECTION"};
constexpr Names4 kKeepAlive = {"Keep-Alive", "Keep-alive", "keep-alive", "KEEP-ALIVE"};
constexpr Names3 kConnection = {"Connection", "connection", "CONNECTION"};
constexpr Names3 kCookie = {"Cookie", "cookie", "COOKIE"};
constexpr Names4 kSetCookie = {"Set-Cookie", "set-cookie", "SET-COOKIE", "Set-cookie"};
constexpr Names4 kContentLength = {"Content-Length", "Content-length", "content-length",
                                   "CONTENT-LENGTH"};
constexpr std::string_view kClose = "close";

}  // namespace

void ApplyHeaderRules(HeaderBlock& block, const HeaderRuleList& rules,
                      std::string_view terminator) {
    for (const HeaderRule& rule : rules.rows) {
        if (rule.enabled != 1) continue;
        const Names4 names = {rule.name.view(), rule.name_lower.view(), rule.name_upper.view(),
                              rule.name_capitalised.view()};
        switch (rule.action) {
            case static_cast<int>(HeaderAction::kChange):
                ReplaceHeader(block, names, rule.value.view(), terminator);
                break;
            case static_cast<int>(HeaderAction::kRemove):
                DeleteAllHeaders(block, names, terminator);
                break;
            default:
                EditHeader(block, rule.action, names, rule.value.view(), terminator);
                break;
        }
    }
}

void ApplyRequestEdits(HeaderBlock& block, const RequestEdits& edits, std::string_view terminator) {
    if (!edits.agent.empty()) ReplaceHeader(block, kUserAgent, edits.agent, terminator);
    if (edits.tag_filter_active) DeleteAllHeaders(block, kAcceptEncoding, terminator);
    if (edits.http10) {
        DeleteAllHeaders(block, kProxyConnection, terminator);
        DeleteAllHeaders(block, kKeepAlive, terminator);
        ReplaceHeader(block, kConnection, kClose, terminator);
    } else if (HasProxyKeepAlive(block.view(), terminator)) {
        ReplaceHeader(block, kKeepAlive, kKeepAliveSeconds, terminator);
    }
    if (edits.remove_cookies) DeleteAllHeaders(block, kCookie, terminator);
}

void RemoveSetCookies(HeaderBlock& block, std::string_view terminator) {
    DeleteAllHeaders(block, kSetCookie, terminator);
}

void FrameFilteredAnswer(HeaderBlock& block, std::string_view terminator) {
    DeleteAllHeaders(block, kContentLength, terminator);
    ReplaceHeader(block, kConnection, kClose, terminator);
}

}  // namespace korvanel
