// Who may join and at which addresses guests are offered the game, over made-up networks, and
// the computer's own interfaces as the kernel reports them.

#include "platform/phones/local_networks.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace cantorix::platform {
namespace {

LocalNetwork net(const char* address, int prefixLength, bool defaultRoute = false) {
    return LocalNetwork{"if", QHostAddress(QString::fromLatin1(address)), prefixLength,
                        defaultRoute, QHostAddress(QString::fromLatin1(address)).isLoopback()};
}

TEST(PeerAllowedTest, AdmitsLoopbackLocalIpv6AndPeersOnTheSubnetsOnly) {
    // 172.20.0.1/0 claims every address, as some tunnels do: it admits only itself.
    const std::vector<LocalNetwork> home = {net("192.168.1.20", 24),     net("10.4.0.7", 16),
                                            net("172.20.0.1", 0),        net("100.64.3.3", 32),
                                            net("2001:db8:1:2::20", 64), net("fd12:3456::20", 64)};
    const std::vector<std::pair<const char*, bool>> cases = {{"192.168.1.99", true},
                                                             {"192.168.2.1", false},
                                                             {"10.4.255.1", true},
                                                             {"10.5.0.1", false},
                                                             {"::ffff:192.168.1.99", true},
                                                             {"::ffff:192.168.2.1", false},
                                                             {"::ffff:127.0.0.1", true},
                                                             {"127.8.9.10", true},
                                                             {"::1", true},
                                                             {"fe80::1234:5678", true},
                                                             {"fe80::1%2", true},
                                                             {"fd12:3456::1", true},
                                                             {"fd12:3457::1", false},
                                                             {"fc00::1", false},
                                                             {"2001:db8:1:2::99", true},
                                                             {"2001:db8:1:3::99", false},
                                                             {"2a00:1450:4001::200e", false},
                                                             {"8.8.8.8", false},
                                                             {"172.20.0.1", true},
                                                             {"172.20.0.2", false},
                                                             {"100.64.3.3", true},
                                                             {"100.64.3.4", false},
                                                             {"169.254.10.10", false},
                                                             {"0.0.0.0", false},
                                                             {"", false}};
    for (const auto& [peer, allowed] : cases)
        EXPECT_EQ(peerAllowed(QHostAddress(QString::fromLatin1(peer)), home), allowed) << peer;
    EXPECT_FALSE(peerAllowed(QHostAddress("192.168.1.99"), {}));
}

TEST(JoinAddressesTest, OrdersDefaultRouteFirstIpv4BeforeIpv6AndDropsUnreachable) {
    const std::vector<std::pair<std::vector<LocalNetwork>, std::vector<std::string>>> cases = {
        {{net("127.0.0.1", 8), net("::1", 128)}, {}},
        {{net("127.0.0.1", 8), net("172.17.0.1", 16), net("fe80::1", 64, true),
          net("2001:db8::5", 64), net("fd00::20", 64, true), net("192.168.1.20", 24, true),
          net("10.0.0.5", 8), net("169.254.3.4", 16, true), net("224.0.0.1", 4)},
         {"192.168.1.20", "172.17.0.1", "10.0.0.5", "fd00::20", "2001:db8::5"}},
        // On two interfaces: offered once, at its better rank.
        {{net("10.1.1.1", 24), net("10.2.2.2", 24), net("10.1.1.1", 24, true)},
         {"10.1.1.1", "10.2.2.2"}}};
    for (const auto& [networks, expected] : cases)
        EXPECT_EQ(joinAddresses(networks), expected);
}

TEST(ListLocalNetworksTest, ReportsTheLoopbackInterfaceAndNeverOffersIt) {
    const std::vector<LocalNetwork> networks = listLocalNetworks();
    const auto loopback = std::find_if(networks.begin(), networks.end(), [](const auto& n) {
        return n.address == QHostAddress(QHostAddress::LocalHost);
    });
    ASSERT_NE(loopback, networks.end());
    EXPECT_TRUE(loopback->loopback);
    EXPECT_EQ(loopback->prefixLength, 8);
    const std::vector<std::string> offered = joinAddresses(networks);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "127.0.0.1"), 0);
}

} // namespace
} // namespace cantorix::platform
