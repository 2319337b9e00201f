// Local identity texts, and the external address from a fake gateway (or none), in a
// network namespace of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "checker/local_identity.h"
#include "checker/net_namespace.h"

namespace korvanel {
namespace {

bool FakeLookup(uint32_t address, NameForm form, char* out, std::size_t capacity) {
    if (form == NameForm::kNameRequired) return false;  // no name registered
    std::snprintf(out, capacity, "n%u-%d", address & 0xff, static_cast<int>(form));
    return true;
}

TEST(LocalIdentity, OneAddressGivesFiveTextsAndAFailedLookupRepeatsTheOneBefore) {
    LocalIdentityList list;
    AppendIdentityGroups(list, {0xC0A80105}, FakeLookup);  // 192.168.1.5
    ASSERT_EQ(list.count, 5);
    EXPECT_EQ(list.texts[0], "192.168.1.5");
    EXPECT_EQ(list.texts[1], "n5-0");
    EXPECT_EQ(list.texts[2], "n5-1");
    EXPECT_EQ(list.texts[3], "n5-1");  // the required name failed: the buffer repeats
    EXPECT_EQ(list.texts[4], "n5-3");
    EXPECT_TRUE(list.texts[5].empty());
}

TEST(LocalIdentity, StopsAtSixtyTextsAndNeverWritesAnEmptyText) {
    std::vector<uint32_t> many;
    for (uint32_t i = 1; i <= 14; ++i) many.push_back(0x0A000000 + i);
    LocalIdentityList list;
    AppendIdentityGroups(list, many, [](uint32_t, NameForm, char*, std::size_t) {
        return false;  // every lookup fails
    });
    ASSERT_EQ(list.count, 60);
    EXPECT_EQ(list.texts[55], "10.0.0.12");
    for (int i = 0; i < 60; ++i) EXPECT_FALSE(list.texts[i].empty()) << i;
    EXPECT_TRUE(list.texts[60].empty());
}

TEST(ExternalAddress, AFakeGatewayInAPrivateNetworkGivesItsAddress) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    // 203.0.113.5 is a reserved address, so the library calls the gateway "not connected";
    // it is asked for its address all the same.
    int gateway = testing::StartFakeGateway("203.0.113.5");
    ASSERT_GT(gateway, 0);
    ExternalAddress external = DiscoverExternalAddress(1000);
    testing::StopProcess(gateway);
    EXPECT_EQ(external.view(), "203.0.113.5");
}

TEST(ExternalAddress, NoGatewayGivesAnEmptyAddress) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    auto start = std::chrono::steady_clock::now();
    ExternalAddress external = DiscoverExternalAddress(1000);
    EXPECT_TRUE(external.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace korvanel
