#include "settings/row_validation.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/header_name_forms.h"
#include "settings/row_makers.h"

namespace korvanel {
namespace {

TEST(UserAgentRowTest, RefusesUnsafeOrAmbiguousTexts) {
    Settings settings;
    EXPECT_EQ(CheckUserAgentRow(settings, "Mozilla/5.0 (X11; Linux)", "0"), kRowValid);
    EXPECT_EQ(CheckUserAgentRow(settings, "0a", "1"), kRowValid);
    EXPECT_EQ(CheckUserAgentRow(settings, "0", "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "a:b", "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "100%", "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "\xe3\x81\x82", "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "tab\there", "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, std::string(216, 'u'), ""), kRowValid);
    EXPECT_EQ(CheckUserAgentRow(settings, std::string(217, 'u'), "0"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "ua", "2"), kRowMalformed);
    EXPECT_EQ(CheckUserAgentRow(settings, "ua", "01"), kRowMalformed);
}

TEST(UserAgentRowTest, FullListIsReportedAfterTheFormatCheck) {
    Settings settings;
    for (int i = 0; i < kUserAgentCapacity; ++i) AppendUserAgentRow(settings, "ua", 0);
    EXPECT_EQ(CheckUserAgentRow(settings, "ua", "0"), kRowListFull);
    EXPECT_EQ(CheckUserAgentRow(settings, "a:b", "0"), kRowMalformed);
}

TEST(ProxyRowTest, AcceptsHostColonDigitsOnly) {
    struct Case {
        const char* name;
        std::string address;
        int expected;
    } cases[] = {
        {"host and port", "proxy.example.net:8080", kRowValid},
        {"nothing after colon", "proxy.example.net:", kRowMalformed},
        {"no colon", "proxy.example.net", kRowMalformed},
        {"second colon", "proxy.example.net:8080:", kRowMalformed},
        {"letter in port", "proxy.example.net:80a0", kRowMalformed},
        {"bracketed ipv6", "[::1]:8080", kRowMalformed},
        {"216 characters", std::string(211, 'h') + ":8080", kRowValid},
        {"217 characters", std::string(212, 'h') + ":8080", kRowMalformed},
        {"japanese host", "\xe3\x81\x82:80", kRowMalformed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckProxyRow("0", "0", "0", c.address), c.expected) << c.name;
    }
}

TEST(ProxyRowTest, ChecksSpeedKindAndInUse) {
    EXPECT_EQ(CheckProxyRow("1", "1234567890", "6", "h:1"), kRowValid);
    EXPECT_EQ(CheckProxyRow("", "", "", "h:1"), kRowValid);
    EXPECT_EQ(CheckProxyRow("0", "12345678901", "0", "h:1"), kRowMalformed);
    EXPECT_EQ(CheckProxyRow("0", "0", "12", "h:1"), kRowMalformed);
    EXPECT_EQ(CheckProxyRow("0", "0", "%", "h:1"), kRowMalformed);
    EXPECT_EQ(CheckProxyRow("2", "0", "0", "h:1"), kRowMalformed);
    EXPECT_EQ(CheckProxyRow("10", "0", "0", "h:1"), kRowMalformed);
}

TEST(HeaderRuleRowTest, ChecksEveryField) {
    HeaderRuleList list;
    auto check = [&](std::string_view enabled, std::string_view action, std::string_view name,
                     std::string_view value) {
        return CheckHeaderRuleRow(list, enabled, action, name, value);
    };
    EXPECT_EQ(check("1", "2", "Cookie", "a=b; c = d"), kRowValid);
    EXPECT_EQ(check("0", "0", "X-Note", "has:colon"), kRowValid);
    EXPECT_EQ(check("2", "0", "X", "v"), kRowMalformed);
    EXPECT_EQ(check("0", "3", "X", "v"), kRowMalformed);
    EXPECT_EQ(check("0", "10", "X", "v"), kRowMalformed);
    EXPECT_EQ(check("0", "0", "X:Y", "v"), kRowMalformed);
    EXPECT_EQ(check("0", "0", std::string(64, 'n'), std::string(155, 'v')), kRowValid);
    EXPECT_EQ(check("0", "0", std::string(65, 'n'), "v"), kRowMalformed);
    EXPECT_EQ(check("0", "0", "X", std::string(156, 'v')), kRowMalformed);
    EXPECT_EQ(check("0", "0", "X", "caf\xc3\xa9"), kRowMalformed);
    EXPECT_EQ(check("0", "0", "X", "\x80"), kRowMalformed);
}

TEST(HeaderRuleRowTest, SixteenthEnabledRuleArrivesDisabled) {
    HeaderRuleList list;
    for (int i = 0; i < kEnabledHeaderRuleLimit; ++i) {
        std::string_view enabled = "1";
        ASSERT_EQ(CheckHeaderRuleRow(list, enabled, "0", "X", "v"), kRowValid);
        ASSERT_EQ(enabled, "1");
        AppendHeaderRule(list, 1, 0, "X", "v");
    }
    EXPECT_EQ(list.enabled_count, kEnabledHeaderRuleLimit + 1);
    std::string_view enabled = "1";
    EXPECT_EQ(CheckHeaderRuleRow(list, enabled, "0", "X", "v"), kRowValid);
    EXPECT_EQ(enabled, "0");
    // The replacement comes first, so even a bad enabled text passes once the limit is hit.
    std::string_view bad = "9";
    EXPECT_EQ(CheckHeaderRuleRow(list, bad, "0", "X", "v"), kRowValid);
}

TEST(HeaderNameFormsTest, MakesTheFourSpellings) {
    HeaderNameForms forms = MakeHeaderNameForms("content-type");
    EXPECT_EQ(forms.name.view(), "Content-type");
    EXPECT_EQ(forms.lower.view(), "content-type");
    EXPECT_EQ(forms.upper.view(), "CONTENT-TYPE");
    EXPECT_EQ(forms.capitalised.view(), "Content-Type");

    forms = MakeHeaderNameForms("x-FORWARDED-for");
    EXPECT_EQ(forms.name.view(), "X-forwarded-for");
    EXPECT_EQ(forms.capitalised.view(), "X-Forwarded-For");

    EXPECT_EQ(MakeHeaderNameForms("x-1").capitalised.view(), "X-1");
    EXPECT_EQ(MakeHeaderNameForms("1x").name.view(), "1x");
    EXPECT_EQ(MakeHeaderNameForms("a-").capitalised.view(), "A-");
    EXPECT_EQ(MakeHeaderNameForms("").name.view(), "");
    EXPECT_EQ(MakeHeaderNameForms(std::string(70, 'a')).upper, std::string(64, 'A'));
}

TEST(RowMakersTest, HeaderRuleStoresFormsAndCountsEnabled) {
    HeaderRuleList list;
    AppendHeaderRule(list, 0, 2, "x-forwarded-for", "1.2.3.4");
    AppendHeaderRule(list, 1, 1, "Via", "");
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.enabled_count, 2);
    const HeaderRule& rule = *list.at(0);
    EXPECT_EQ(rule.name.view(), "X-forwarded-for");
    EXPECT_EQ(rule.name_lower.view(), "x-forwarded-for");
    EXPECT_EQ(rule.name_upper.view(), "X-FORWARDED-FOR");
    EXPECT_EQ(rule.name_capitalised.view(), "X-Forwarded-For");
    EXPECT_EQ(rule.action, 2);
    EXPECT_EQ(list.at(1)->enabled, 1);
}

}  // namespace
}  // namespace korvanel
