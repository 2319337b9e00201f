#include "engine/header_edit.h"

#include <cstring>

namespace korvanel {
namespace {

constexpr std::string_view kNameSeparator = ": ";

int AddHeaderLine(HeaderBlock& block, std::string_view name, std::string_view value,
                  std::string_view terminator) {
    std::string_view line_end = LineEndOf(terminator);
    std::string_view text = block.view();
    std::size_t keep = text.size();
    if (!line_end.empty() && text.ends_with(line_end)) keep -= line_end.size();
    // A block without header lines is a blank line written twice; what is left after the
    // final empty line is removed is that blank line, and the new line must come first,
    // or it would fall behind the end of the head.
    if (keep == line_end.size() && text.starts_with(line_end)) keep = 0;
    std::size_t needed =
        keep + name.size() + kNameSeparator.size() + value.size() + terminator.size();
    if (needed > HeaderBlock::kMaxLength) return -1;
    block.set_length(keep);
    block.append(name);
    block.append(kNameSeparator);
    block.append(value);
    block.append(terminator);
    return 1;
}

int DeleteOneHeaderLine(HeaderBlock& block, NameForms names, std::string_view terminator) {
    std::string_view line_end = LineEndOf(terminator);
    std::string_view text = block.view();
    for (std::string_view name : names) {
        std::size_t at = FindHeaderAtLineStart(text, name, terminator);
        if (at == std::string_view::npos) continue;
        std::size_t end =
            line_end.empty() ? std::string_view::npos : text.find(line_end, at + name.size());
        if (end == std::string_view::npos) return -1;
        std::size_t after = end + line_end.size();
        char* data = block.data();
        std::memmove(data + at, data + after, text.size() - after);
        block.set_length(text.size() - (after - at));
        return 0;
    }
    return 1;
}

}  // namespace

std::size_t FindAtLineStart(std::string_view block, std::string_view text,
                            std::string_view terminator) {
    if (text.empty() || terminator.empty()) return std::string_view::npos;
    char line_end_last = terminator.back();
    for (std::size_t at = block.find(text); at != std::string_view::npos;
         at = block.find(text, at + 1)) {
        if (at == 0 || block[at - 1] == line_end_last) return at;
    }
    return std::string_view::npos;
}

std::size_t FindHeaderAtLineStart(std::string_view block, std::string_view name,
                                  std::string_view terminator) {
    if (name.empty() || terminator.empty()) return std::string_view::npos;
    char line_end_last = terminator.back();
    for (std::size_t at = block.find(name); at != std::string_view::npos;
         at = block.find(name, at + 1)) {
        bool line_start = at == 0 || block[at - 1] == line_end_last;
        if (line_start && block.substr(at + name.size()).starts_with(kNameSeparator)) return at;
    }
    return std::string_view::npos;
}

int EditHeader(HeaderBlock& block, int mode, NameForms names, std::string_view value,
               std::string_view terminator) {
    if (mode == kEditAdd) {
        return names.empty() ? -1 : AddHeaderLine(block, names.front(), value, terminator);
    }
    if (mode == kEditDeleteOne) return DeleteOneHeaderLine(block, names, terminator);
    for (std::string_view name : names) {
        if (FindHeaderAtLineStart(block.view(), name, terminator) != std::string_view::npos) {
            return -1;
        }
    }
    return 1;
}

void DeleteAllHeaders(HeaderBlock& block, NameForms names, std::string_view terminator) {
    while (EditHeader(block, kEditDeleteOne, names, "", terminator) == 0) {
    }
}

int ReplaceHeader(HeaderBlock& block, NameForms names, std::string_view value,
                  std::string_view terminator) {
    DeleteAllHeaders(block, names, terminator);
    return EditHeader(block, kEditAdd, names, value, terminator);
}

}  // namespace korvanel
