#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "telemetry/MacText.h"

namespace {

using platform::NetworkInterface;
using telemetry::FirstEthernetMacText;
using telemetry::MacTextCache;
using Interfaces = std::vector<NetworkInterface>;

constexpr unsigned kEthernet = 1;
constexpr unsigned kLoopback = 772;
constexpr unsigned kNoHardware = 65534;  // tun devices

NetworkInterface Wired(const std::string& name, std::vector<uint8_t> address) {
    return {name, kEthernet, false, false, std::move(address)};
}

NetworkInterface Wireless(const std::string& name, std::vector<uint8_t> address) {
    return {name, kEthernet, true, false, std::move(address)};
}

const std::vector<uint8_t> kWiredAddress{0x0a, 0x1b, 0x00, 0xff, 0x05, 0xc3};

TEST(MacTextTest, TakesTheFirstWiredEthernetInterface) {
    struct Case {
        const char* name;
        Interfaces interfaces;
        std::string text;
    };
    const Case cases[] = {
        {"none", {}, ""},
        {"wired only", {Wired("eth0", kWiredAddress)}, "0A1B00FF05C3"},
        {"wireless first, then wired",
         {Wireless("wlan0", {1, 2, 3, 4, 5, 6}), Wired("eth0", kWiredAddress)},
         "0A1B00FF05C3"},
        {"only wireless", {Wireless("wlan0", {1, 2, 3, 4, 5, 6})}, ""},
        {"loopback skipped",
         {{"lo", kLoopback, false, true, {0, 0, 0, 0, 0, 0}}, Wired("eth0", kWiredAddress)},
         "0A1B00FF05C3"},
        {"loopback with an Ethernet type skipped",
         {{"lo", kEthernet, false, true, {9, 9, 9, 9, 9, 9}}},
         ""},
        {"other hardware types skipped",
         {{"tun0", kNoHardware, false, false, {}}, Wired("eth1", {0xde, 0xad, 0xbe, 0xef, 0, 1})},
         "DEADBEEF0001"},
        {"first of two wired",
         {Wired("eth0", kWiredAddress), Wired("eth1", {1, 1, 1, 1, 1, 1})},
         "0A1B00FF05C3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FirstEthernetMacText(c.interfaces), c.text);
    }
}

TEST(MacTextTest, FoundTextIsKeptAndAMissingOneIsLookedForAgain) {
    std::atomic<int> listings{0};
    Interfaces machine;  // what the next listing finds
    MacTextCache cache([&] {
        ++listings;
        return machine;
    });
    EXPECT_EQ(cache.Get(), "");
    EXPECT_EQ(cache.Get(), "");
    EXPECT_EQ(listings, 2);

    machine = {Wired("eth0", kWiredAddress)};
    EXPECT_EQ(cache.Get(), "0A1B00FF05C3");
    machine = {Wired("eth0", {1, 1, 1, 1, 1, 1})};
    EXPECT_EQ(cache.Get(), "0A1B00FF05C3");
    EXPECT_EQ(listings, 3);
}

TEST(MacTextTest, ConcurrentFirstCallsListTheInterfacesOnce) {
    std::atomic<int> listings{0};
    MacTextCache cache([&] {
        ++listings;
        return Interfaces{Wired("eth0", kWiredAddress)};
    });
    std::vector<std::string> texts(8);
    std::vector<std::thread> callers;
    for (std::string& text : texts) callers.emplace_back([&cache, &text] { text = cache.Get(); });
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(listings, 1);
    for (const std::string& text : texts) EXPECT_EQ(text, "0A1B00FF05C3");
}

TEST(MacTextTest, SystemListingShowsTheLoopbackInterfaceAsSuch) {
    const Interfaces interfaces = platform::ListNetworkInterfaces();
    const auto loopback = std::find_if(interfaces.begin(), interfaces.end(),
                                       [](const NetworkInterface& i) { return i.name == "lo"; });
    ASSERT_NE(loopback, interfaces.end());
    EXPECT_TRUE(loopback->isLoopback);
    EXPECT_EQ(loopback->hardwareType, kLoopback);
    EXPECT_EQ(loopback->address, std::vector<uint8_t>(6, 0));
}

}  // namespace
