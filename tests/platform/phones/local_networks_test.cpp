// Who may join and at which addresses guests are offered the game, over made-up networks, and
// the computer's own interfaces as the kernel reports them.

#include "platform/phones/local_networks.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace cantorix::platform {
namespace {

LocalNetwork network(const char* name, const char* address, int prefixLength,
                     bool defaultRoute = false, bool loopback = false) {
    return LocalNetwork{name, QHostAddress(QString::fromLatin1(address)), prefixLength,
                        defaultRoute, loopback};
}

TEST(PeerAllowedTest, AdmitsLoopbackLocalIpv6AndPeersOnTheSubnetsOnly) {
    const std::vector<LocalNetwork> home = {
        network("wlan0", "192.168.1.20", 24, true), network("eth0", "10.4.0.7", 16),
        network("tun0", "172.20.0.1", 0), // claims every address: admits only itself
        network("ptp0", "100.64.3.3", 32),          network("wlan0", "2001:db8:1:2::20", 64, true),
    };
    struct Case {
        const char* peer;
        bool allowed;
    };
    const Case cases[] = {
        {"192.168.1.99", true},
        {"192.168.1.255", true},
        {"192.168.2.1", false},
        {"10.4.255.1", true},
        {"10.5.0.1", false},
        {"::ffff:192.168.1.99", true}, // IPv4 in IPv6 form
        {"::ffff:192.168.2.1", false},
        {"::ffff:127.0.0.1", true},
        {"127.0.0.1", true},
        {"127.8.9.10", true},
        {"::1", true},
        {"fe80::1234:5678", true},
        {"fe80::1%2", true},
        {"fd12:3456:789a::1", true},
        {"fc00::1", true},
        {"2001:db8:1:2::99", true},
        {"2001:db8:1:3::99", false},
        {"2a00:1450:4001:80b::200e", false},
        {"8.8.8.8", false},
        {"172.20.0.1", true},
        {"172.20.0.2", false},
        {"100.64.3.3", true},
        {"100.64.3.4", false},
        {"169.254.10.10", false}, // IPv4 link-local is not on any listed subnet
        {"0.0.0.0", false},
        {"::", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.peer);
        EXPECT_EQ(peerAllowed(QHostAddress(QString::fromLatin1(c.peer)), home), c.allowed);
    }
    // Without networks only loopback and local IPv6 remain.
    EXPECT_FALSE(peerAllowed(QHostAddress("192.168.1.99"), {}));
    EXPECT_TRUE(peerAllowed(QHostAddress("fe80::1"), {}));
}

TEST(JoinAddressesTest, OrdersDefaultRouteFirstIpv4BeforeIpv6AndDropsUnreachable) {
    struct Case {
        const char* what;
        std::vector<LocalNetwork> networks;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"no network", {network("lo", "127.0.0.1", 8, false, true)}, {}},
        {"default route first, IPv4 before IPv6",
         {network("lo", "127.0.0.1", 8, false, true), network("lo", "::1", 128, false, true),
          network("docker0", "172.17.0.1", 16), network("wlan0", "fe80::1", 64, true),
          network("eth1", "2001:db8::5", 64), network("wlan0", "fd00::20", 64, true),
          network("wlan0", "192.168.1.20", 24, true), network("eth1", "10.0.0.5", 8)},
         {"192.168.1.20", "172.17.0.1", "10.0.0.5", "fd00::20", "2001:db8::5"}},
        {"IPv4 link-local and multicast are never offered",
         {network("eth0", "169.254.3.4", 16, true), network("eth0", "224.0.0.1", 4),
          network("eth0", "ff02::1", 16), network("eth0", "192.168.0.2", 24)},
         {"192.168.0.2"}},
        {"an address on two interfaces once, at its better rank",
         {network("br0", "10.1.1.1", 24), network("br1", "10.1.1.1", 24, true),
          network("eth0", "10.2.2.2", 24)},
         {"10.1.1.1", "10.2.2.2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(joinAddresses(c.networks), c.expected);
    }
}

TEST(ListLocalNetworksTest, ReportsTheLoopbackInterfaceUpAndNeverOffersIt) {
    const std::vector<LocalNetwork> networks = listLocalNetworks();
    const auto loopback = std::find_if(networks.begin(), networks.end(), [](const auto& n) {
        return n.address == QHostAddress(QHostAddress::LocalHost);
    });
    ASSERT_NE(loopback, networks.end());
    EXPECT_TRUE(loopback->loopback);
    EXPECT_EQ(loopback->prefixLength, 8);
    EXPECT_FALSE(loopback->interfaceName.empty());
    for (const LocalNetwork& n : networks) {
        EXPECT_GE(n.prefixLength, 0);
        EXPECT_LE(n.prefixLength, n.address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
        EXPECT_FALSE(n.address.isNull());
    }
    const std::vector<std::string> offered = joinAddresses(networks);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "127.0.0.1"), 0);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "::1"), 0);
}

} // namespace
} // namespace cantorix::platform
