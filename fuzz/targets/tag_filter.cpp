// MarkTags, ExpandMarks and FilterText over any text and any choice of tag rows.
#include "engine/tag_filter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tag_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::uint64_t bits = input.ConsumeIntegral<std::uint64_t>();
    // Tag prefixes are the program's own texts and never hold a mark byte.
    std::string tag = input.ConsumeRandomLengthString(9);
    std::erase_if(tag, [](char c) { return c == kTagStartMark || c == kTagEndMark; });
    std::string text = input.ConsumeRemainingBytesAsString();

    // MarkTags on a buffer of exactly the text's length, so a read past it is caught.
    std::vector<char> marked(text.begin(), text.end());
    int mark = MarkTags(marked.data(), marked.size(), tag);
    fuzz::Use(std::string_view(marked.data(), marked.size()));
    fuzz::Require(mark == 1 || mark == -1, "MarkTags gives 1 or -1");
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (marked[i] == text[i]) continue;
        fuzz::Require((marked[i] == kTagStartMark && text[i] == tag[0]) ||
                          (marked[i] == kTagEndMark && text[i] == '>'),
                      "MarkTags changes only a tag's first character and its \">\"");
    }

    auto output = std::make_unique<FilterOutput>(text);
    bool fits = text.size() <= FilterOutput::kMaxLength;
    int expand = ExpandMarks(*output);
    fuzz::Use(output->view());
    if (expand == 1) {
        fuzz::Require(fits && output->view() == fuzz::Expanded(text),
                      "ExpandMarks writes each mark");
    } else {
        fuzz::Require(expand == -1 && fuzz::Expanded(text).size() > FilterOutput::kMaxLength,
                      "ExpandMarks refuses only what does not fit");
    }

    TagSwitches tags = fuzz::TagsFor(bits);
    int filtered = FilterText(text, *output, tags);
    fuzz::Use(output->view());
    if (text.size() > kFilterInputLimit) {
        fuzz::Require(filtered == -1, "FilterText refuses a text over its limit");
        return 0;
    }
    fuzz::Require(filtered == 1, "FilterText takes every text within its limit");
    fuzz::Require(fuzz::KeepsEverything(text, output->view()), "FilterText loses nothing");
    if (bits == 0) {
        fuzz::Require(output->view() == fuzz::Expanded(text), "no tag on: only marks expand");
    }
    return 0;
}
