#include "engine/tag_filter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/tag_filter_step.h"
#include "engine/tail_buffer.h"

namespace korvanel {
namespace {

using namespace std::string_literals;

// The tag rows with the given kinds (1 to 14) switched on, every row of a kind.
TagSwitches KindsOn(const std::vector<int>& kinds) {
    Settings settings;
    for (int kind : kinds) {
        for (int row = 0; row < kTagRowsPerGroup; ++row) {
            settings.tag_switches[(kind - 1) * kTagRowsPerGroup + row].value = "1";
        }
    }
    return settings.tag_switches;
}

std::string Filtered(std::string_view page, const TagSwitches& tags) {
    auto output = std::make_unique<FilterOutput>();
    EXPECT_EQ(FilterText(page, *output, tags), 1);
    return output->str();
}

struct PageCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
    std::vector<int> kinds;
    std::string page;
    std::string expected;
};

class FilterTextTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(FilterTextTest, CommentsOutChosenTags) {
    const PageCase& c = GetParam();
    test::TailBuffer page(c.page);
    EXPECT_EQ(Filtered(page.view(), KindsOn(c.kinds)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FilterTextTest,
    ::testing::Values(
        PageCase{"Script", {7}, "<script>a()</script>", "<!--<script>-->a()<!--</script>-->"},
        PageCase{"ScriptWithAttributes", {7}, "x<SCRIPT src=y>z", "x<!--<SCRIPT src=y>-->z"},
        PageCase{"APrefixAlsoMatchesAbbr",
                 {5},
                 "<abbr>t</abbr><A HREF=x>",
                 "<!--<abbr>-->t<!--</abbr>--><!--<A HREF=x>-->"},
        PageCase{"UpperFormOnlyMatchesUpper", {5}, "<Abbr>", "<!--<Abbr>-->"},
        PageCase{"AllTags", {14}, "<p>a<br/></p>", "<!--<p>-->a<!--<br/>--><!--</p>-->"},
        PageCase{"ImgPlaceholderRowsNeverMatch", {6}, "dummy<img>", "dummy<!--<img>-->"},
        PageCase{"NothingOnKeepsPage", {}, "<b>x</b>", "<b>x</b>"},
        PageCase{"MarkBytesInPageExpand",
                 {},
                 "a\x12"
                 "b\x13",
                 "a<!--<b>-->"},
        PageCase{"UnclosedTagLeftAlone", {7}, "<script>x</script", "<!--<script>-->x</script"},
        PageCase{"NulBytesKept", {7}, "a\0b<script>\0"s, "a\0b<!--<script>-->\0"s}),
    [](const auto& row) { return row.param.name; });

TEST(TagFilter, OnlyValueOneSwitchesARowOn) {
    TagSwitches tags = KindsOn({});
    tags[24].value = "2";   // "<script"
    tags[26].value = " 1";  // "<SCRIPT"
    EXPECT_EQ(Filtered("<script><SCRIPT>", tags), "<script><!--<SCRIPT>-->");
}

TEST(ExpandMarks, FillsTheBufferButNeverPassesIt) {
    auto text = std::make_unique<FilterOutput>();
    text->assign(std::string(kFilterInputLimit, kTagStartMark));
    ASSERT_EQ(ExpandMarks(*text), 1);
    EXPECT_EQ(text->size(), kFilterInputLimit * kExpandedTagStart.size());

    text->assign(std::string(FilterOutput::kMaxLength / 4, kTagStartMark));
    std::string before = text->str();
    EXPECT_EQ(ExpandMarks(*text), -1);
    EXPECT_EQ(text->view(), before);
}

// Runs a page through the streaming filter as a relay does, in pieces of `piece_size`
// bytes, each piece at the very end of its own heap block.
std::string Streamed(std::string_view page, std::size_t piece_size, const TagSwitches& tags,
                     bool relay_flushes = true) {
    auto output = std::make_unique<FilterOutput>();
    auto carry = std::make_unique<FilterCarry>();
    ErrorText error;
    std::string sent;
    for (std::size_t at = 0; at < page.size(); at += piece_size) {
        test::TailBuffer piece(page.substr(at, piece_size));
        FilterStepEnd result = FilterStep(piece.view(), *output, *carry, tags, error);
        EXPECT_NE(result, FilterStepEnd::kFailed) << error.view();
        if (result == FilterStepEnd::kSend) sent += output->view();
        if (relay_flushes && CarryWantsFlush(*carry) && FilterFlushCarry(*carry, *output, tags)) {
            sent += output->view();
        }
    }
    if (FilterFlushCarry(*carry, *output, tags)) sent += output->view();
    return sent;
}

TEST(FilterStep, PiecesGiveTheSameTextAsTheWholePage) {
    const std::string page =
        "<html><head><script src=a.js></script></head>\n<body><p>x > y</p><SCRIPT>"
        "if (a < b) go();</SCRIPT><a href=z>link</a>tail text";
    TagSwitches tags = KindsOn({7, 5});
    std::string whole = Filtered(page, tags);
    ASSERT_NE(whole, page);
    for (std::size_t size : {1, 2, 3, 7, 64, 4094}) {
        EXPECT_EQ(Streamed(page, size, tags), whole) << "pieces of " << size;
    }
}

TEST(FilterStep, LongRunWithoutTagEndIsPassedOnWhole) {
    // Longer than the carry can hold: nothing may be lost, with or without the relay's
    // own flushing of long carries.
    std::string page = "<p>" + std::string(40000, 'x') + "<script>y</script>";
    for (std::size_t i = 3; i < page.size(); i += 997) page[i] = '<';
    TagSwitches tags = KindsOn({7});
    std::string expected = page;
    expected.replace(expected.find("<script>"), 8, "<!--<script>-->");
    expected.replace(expected.find("</script>"), 9, "<!--</script>-->");
    EXPECT_EQ(Streamed(page, 4094, tags, true), expected);
    EXPECT_EQ(Streamed(page, 4094, tags, false), expected);
}

TEST(TakeCompleteTags, CutsAtLastTagEndAndRefusesOverflow) {
    auto output = std::make_unique<FilterOutput>();
    auto carry = std::make_unique<FilterCarry>();
    *carry = "<a";
    ASSERT_EQ(TakeCompleteTags(" b>c<d", *output, *carry), 1);
    EXPECT_EQ(output->view(), "<a b>");
    EXPECT_EQ(carry->view(), "c<d");
    ASSERT_EQ(TakeCompleteTags("efg", *output, *carry), 1);
    EXPECT_TRUE(output->empty());
    EXPECT_EQ(carry->view(), "c<defg");

    std::string big(kFilterCarryLimit - carry->size(), 'z');
    EXPECT_EQ(TakeCompleteTags(big, *output, *carry), 1);
    EXPECT_EQ(carry->size(), kFilterCarryLimit);
    EXPECT_EQ(TakeCompleteTags("q>", *output, *carry), 0);
    EXPECT_EQ(carry->size(), kFilterCarryLimit);
}

}  // namespace
}  // namespace korvanel
