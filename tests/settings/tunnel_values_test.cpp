#include "runtime/tunnel_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/host_pattern.h"
#include "runtime/settings.h"

namespace korvanel {
namespace {

TEST(TunnelValues, DefaultsAreOffAndPort443) {
    Settings settings;
    EXPECT_FALSE(settings.https_tunnel);
    EXPECT_EQ(FormatTunnelPorts(settings.tunnel_ports), "443");
    ApplyNewFileDefaults(settings);
    EXPECT_FALSE(settings.https_tunnel);
    EXPECT_EQ(FormatTunnelPorts(settings.tunnel_ports), "443");
}

TEST(TunnelValues, PortListsRoundTripOrAreRefused) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<uint16_t> ports;  // empty: refused
        const char* formatted;
    };
    std::string longest = "1";
    for (int i = 2; i <= kMaxTunnelPorts; ++i) longest += "," + std::to_string(i);
    const Case cases[] = {
        {"one", "443", {443}, "443"},
        {"two", "443,8443", {443, 8443}, "443,8443"},
        {"edges", "1,65535", {1, 65535}, "1,65535"},
        {"duplicates kept", "443,443", {443, 443}, "443,443"},
        {"leading zero", "0443", {443}, "443"},
        {"as many as allowed", longest, {}, nullptr},
        {"empty", "", {}, nullptr},
        {"zero", "0", {}, nullptr},
        {"too high", "65536", {}, nullptr},
        {"huge", "99999999999999999999", {}, nullptr},
        {"blank", "443, 8443", {}, nullptr},
        {"empty item", "443,,8443", {}, nullptr},
        {"trailing comma", "443,", {}, nullptr},
        {"leading comma", ",443", {}, nullptr},
        {"sign", "+443", {}, nullptr},
        {"semicolon", "443;8443", {}, nullptr},
        {"one too many", longest + ",33", {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TunnelPorts parsed;
        parsed.ports[0] = 7;  // left as it is on a refusal
        bool accepted = ParseTunnelPorts(c.text, parsed);
        if (std::string_view(c.name) == "as many as allowed") {
            ASSERT_TRUE(accepted);
            EXPECT_EQ(parsed.count, kMaxTunnelPorts);
            EXPECT_EQ(FormatTunnelPorts(parsed), longest);
            continue;
        }
        ASSERT_EQ(accepted, !c.ports.empty());
        if (!accepted) {
            EXPECT_EQ(parsed.ports[0], 7);
            continue;
        }
        EXPECT_EQ(std::vector<uint16_t>(parsed.ports.begin(), parsed.ports.begin() + parsed.count),
                  c.ports);
        EXPECT_EQ(FormatTunnelPorts(parsed), c.formatted);
        for (uint16_t port : c.ports) EXPECT_TRUE(parsed.Contains(port));
        EXPECT_FALSE(parsed.Contains(80));
    }
}

TEST(TunnelValues, SwitchIsZeroOrOne) {
    struct Case {
        const char* text;
        bool accepted;
        bool on;
    };
    for (const Case& c : {Case{"0", true, false}, Case{"1", true, true}, Case{"", false, true},
                          Case{"2", false, true}, Case{"01", false, true}, Case{"1 ", false, true},
                          Case{"on", false, true}}) {
        SCOPED_TRACE(c.text);
        bool on = true;
        EXPECT_EQ(ParseTunnelSwitch(c.text, on), c.accepted);
        EXPECT_EQ(on, c.on);
        if (c.accepted) {
            EXPECT_EQ(FormatTunnelSwitch(on), c.text);
        }
    }
}

TEST(TunnelValues, HostPatternsAreCheckedAndMatched) {
    struct Case {
        const char* pattern;
        bool valid;
        std::vector<const char*> matched;
        std::vector<const char*> not_matched;
    };
    const Case cases[] = {
        {"update.example.org",
         true,
         {"update.example.org", "UPDATE.Example.org."},
         {"x.update.example.org", "example.org", "update.example.org.evil"}},
        {"*.bank.example",
         true,
         {"www.bank.example", "a.b.bank.example", "WWW.BANK.EXAMPLE"},
         {"bank.example", "evilbank.example", ".bank.example", "bank.example.evil"}},
        {"10.0.0.1", true, {"10.0.0.1"}, {"10.0.0.10"}},
        {"", false, {}, {}},
        {"*", false, {}, {}},
        {"*.", false, {}, {}},
        {"a.*.example", false, {}, {}},
        {"a..example", false, {}, {}},
        {"example.", false, {}, {}},
        {"ex ample", false, {}, {}},
        {"bank.example/x", false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(IsHostPattern(c.pattern), c.valid);
        for (const char* host : c.matched) EXPECT_TRUE(MatchesHostPattern(c.pattern, host)) << host;
        for (const char* host : c.not_matched) {
            EXPECT_FALSE(MatchesHostPattern(c.pattern, host)) << host;
        }
    }
    EXPECT_FALSE(IsHostPattern(std::string(kMaxHostPatternLength + 1, 'a')));
}

}  // namespace
}  // namespace korvanel
