#include "engine/head_split.h"

namespace korvanel {

bool SplitHead(std::string_view head, std::string_view terminator, StartLine& start_line,
               HeaderBlock& header_block) {
    std::string_view line_end = LineEndOf(terminator);
    start_line.clear();
    header_block.clear();
    if (line_end.empty()) return false;
    std::size_t end = head.find(line_end);
    if (end == std::string_view::npos) return false;
    std::size_t rest_at = end + line_end.size();
    std::string_view rest = head.substr(rest_at);
    if (rest.starts_with(line_end)) header_block.assign(line_end);
    if (!header_block.append(rest)) return false;
    start_line.assign(head.substr(0, rest_at));
    return true;
}

bool SplitBody(std::string_view terminator, HeaderBlock& header_block, HeadBody& body) {
    body.clear();
    std::string_view block = header_block.view();
    if (block == LineEndOf(terminator)) return true;
    if (terminator.empty()) return false;
    std::size_t at = block.find(terminator);
    if (at == std::string_view::npos) return false;
    std::size_t cut = at + terminator.size();
    if (block.size() - cut > HeadBody::kMaxLength) return false;
    body.assign(block.substr(cut));
    header_block.set_length(cut);
    return true;
}

}  // namespace korvanel
