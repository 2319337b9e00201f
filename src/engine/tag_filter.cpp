#include "engine/tag_filter.h"

#include <cstdlib>
#include <cstring>

namespace korvanel {
namespace {

constexpr std::string_view kPlaceholderTag = "dummy";

}  // namespace

bool IsTagRowEnabled(const TagSwitch& row) {
    return std::atoi(row.value.c_str()) == 1 &&
           !StartsWithN(row.tag.view(), kPlaceholderTag, kPlaceholderTag.size());
}

int MarkTags(char* text, std::size_t length, std::string_view tag) {
    if (tag.empty()) return 1;
    std::string_view view(text, length);
    for (std::size_t at = view.find(tag); at != std::string_view::npos;
         at = view.find(tag, at + 1)) {
        std::size_t end = view.find('>', at + tag.size());
        if (end == std::string_view::npos) return -1;
        text[at] = kTagStartMark;
        text[end] = kTagEndMark;
    }
    return 1;
}

void MarkEnabledTags(char* text, std::size_t length, const TagSwitches& tags) {
    for (const TagSwitch& row : tags) {
        if (IsTagRowEnabled(row)) MarkTags(text, length, row.tag.view());
    }
}

int ExpandMarks(FilterOutput& text) {
    std::size_t length = text.size();
    char* data = text.data();
    std::size_t expanded = length;
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] == kTagStartMark) expanded += kExpandedTagStart.size() - 1;
        if (data[i] == kTagEndMark) expanded += kExpandedTagEnd.size() - 1;
    }
    if (expanded > FilterOutput::kMaxLength) return -1;
    // From the back, so that every byte is read before its place is written.
    std::size_t write = expanded;
    for (std::size_t i = length; i-- > 0;) {
        if (data[i] == kTagStartMark) {
            write -= kExpandedTagStart.size();
            std::memcpy(data + write, kExpandedTagStart.data(), kExpandedTagStart.size());
        } else if (data[i] == kTagEndMark) {
            write -= kExpandedTagEnd.size();
            std::memcpy(data + write, kExpandedTagEnd.data(), kExpandedTagEnd.size());
        } else {
            data[--write] = data[i];
        }
    }
    text.set_length(expanded);
    return 1;
}

int FilterText(std::string_view text, FilterOutput& output, const TagSwitches& tags) {
    output.clear();
    if (text.size() > kFilterInputLimit) return -1;
    output.assign(text);
    MarkEnabledTags(output.data(), output.size(), tags);
    return ExpandMarks(output);
}

}  // namespace korvanel
