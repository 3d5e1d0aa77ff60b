// The local networks from getifaddrs and the kernel's routing tables. The tables are read as
// text the kernel writes; a missing or odd line only means no default route is known for it.

#include "platform/phones/local_networks.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/socket.h>

namespace cantorix::platform {

namespace {

// Longer lines are not the kernel's route lines.
constexpr std::size_t kMaxRouteLineLength = 512;
constexpr std::string_view kAnyIpv4Destination = "00000000";
constexpr std::string_view kAnyIpv6Destination = "00000000000000000000000000000000";

bool parseHex(const std::string& text, unsigned long& value) {
    if (text.empty() || text.size() > 8)
        return false;
    std::size_t used = 0;
    try {
        value = std::stoul(text, &used, 16);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size();
}

bool routeUsable(const std::string& flagsText) {
    unsigned long flags = 0;
    return parseHex(flagsText, flags) && (flags & RTF_UP) != 0 && (flags & RTF_REJECT) == 0;
}

// The interfaces of the default route in /proc/net/route:
// "Iface Destination Gateway Flags RefCnt Use Metric Mask …", hexadecimal fields.
std::set<std::string> ipv4DefaultInterfaces() {
    std::set<std::string> names;
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line); // the column titles
    while (std::getline(table, line)) {
        if (line.size() > kMaxRouteLineLength)
            continue;
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, referenceCount, use, metric, mask;
        if (fields >> name >> destination >> gateway >> flags >> referenceCount >> use >> metric >>
                mask &&
            destination == kAnyIpv4Destination && mask == kAnyIpv4Destination && routeUsable(flags))
            names.insert(name);
    }
    return names;
}

// The interfaces of the default route in /proc/net/ipv6_route: "destination prefix source
// prefix next-hop metric references use flags interface", without titles. The kernel lists
// unreachable ::/0 routes on the loopback interface: their flags say they reject.
std::set<std::string> ipv6DefaultInterfaces() {
    std::set<std::string> names;
    std::ifstream table("/proc/net/ipv6_route");
    std::string line;
    while (std::getline(table, line)) {
        if (line.size() > kMaxRouteLineLength)
            continue;
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, references, use,
            flags, name;
        if (fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >>
                references >> use >> flags >> name &&
            destination == kAnyIpv6Destination && prefix == "00" && routeUsable(flags))
            names.insert(name);
    }
    return names;
}

int prefixLengthOf(const sockaddr* netmask, int family, int fullLength) {
    if (netmask == nullptr || netmask->sa_family != family)
        return fullLength;
    const unsigned char* bytes = nullptr;
    std::size_t count = 0;
    if (family == AF_INET) {
        bytes = reinterpret_cast<const unsigned char*>(
            &reinterpret_cast<const sockaddr_in*>(netmask)->sin_addr);
        count = sizeof(in_addr);
    } else {
        bytes = reinterpret_cast<const unsigned char*>(
            &reinterpret_cast<const sockaddr_in6*>(netmask)->sin6_addr);
        count = sizeof(in6_addr);
    }
    // A mask is leading ones; counting them all also copes with an odd mask without failing.
    int length = 0;
    for (std::size_t i = 0; i < count; ++i)
        length += std::popcount(static_cast<unsigned>(bytes[i]));
    return length;
}

// The peer as it really is: an IPv4 address carried in IPv6 form is its IPv4 address.
QHostAddress plainAddress(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool isIpv4 = false;
        const quint32 ipv4 = address.toIPv4Address(&isIpv4);
        if (isIpv4)
            return QHostAddress(ipv4);
    }
    return address;
}

bool isIpv6LinkLocal(const QHostAddress& address) {
    return address.protocol() == QAbstractSocket::IPv6Protocol && address.isLinkLocal();
}

// Whether peer is on network's subnet. An interface claiming the whole address space (prefix 0,
// as some tunnels do) would let the whole internet in: it admits only its own address.
bool onSubnet(const QHostAddress& peer, const LocalNetwork& network) {
    const QHostAddress own = plainAddress(network.address);
    if (own.protocol() != peer.protocol())
        return false;
    if (network.prefixLength <= 0)
        return own.isEqual(peer);
    QHostAddress unscoped = peer;
    unscoped.setScopeId({});
    return unscoped.isInSubnet(own, network.prefixLength);
}

// Where a guest's phone can reach this address: 0 and up, best first; -1 for never.
int joinRank(const LocalNetwork& network) {
    const QHostAddress address = plainAddress(network.address);
    if (address.isNull() || address.isLoopback() || address.isLinkLocal() ||
        address.isMulticast() || address.isBroadcast() || network.loopback)
        return -1;
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return network.defaultRoute ? 0 : 1;
    if (address.protocol() == QAbstractSocket::IPv6Protocol && address.isGlobal())
        return network.defaultRoute ? 2 : 3;
    return -1;
}

} // namespace

std::vector<LocalNetwork> listLocalNetworks() {
    std::vector<LocalNetwork> networks;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return networks;
    const std::set<std::string> ipv4Default = ipv4DefaultInterfaces();
    const std::set<std::string> ipv6Default = ipv6DefaultInterfaces();
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0)
            continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        LocalNetwork network;
        network.interfaceName = entry->ifa_name != nullptr ? entry->ifa_name : "";
        network.address = QHostAddress(entry->ifa_addr);
        network.prefixLength =
            prefixLengthOf(entry->ifa_netmask, family, family == AF_INET ? 32 : 128);
        network.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        const std::set<std::string>& defaults = family == AF_INET ? ipv4Default : ipv6Default;
        network.defaultRoute = defaults.count(network.interfaceName) != 0;
        networks.push_back(std::move(network));
    }
    ::freeifaddrs(interfaces);
    return networks;
}

bool peerAllowed(const QHostAddress& peer, const std::vector<LocalNetwork>& networks) {
    const QHostAddress address = plainAddress(peer);
    if (address.isNull())
        return false;
    // A unique-local address is anyone's who routes one (a VPN, a neighbour's network): like any
    // other, it is local only on one of this computer's own subnets.
    if (address.isLoopback() || isIpv6LinkLocal(address))
        return true;
    for (const LocalNetwork& network : networks) {
        if (onSubnet(address, network))
            return true;
    }
    return false;
}

std::vector<std::string> joinAddresses(const std::vector<LocalNetwork>& networks) {
    constexpr int kRanks = 4;
    std::vector<std::string> addresses;
    std::set<std::string> offered;
    // Rank by rank, so an address listed on two interfaces is offered once, at its better rank.
    for (int rank = 0; rank < kRanks; ++rank) {
        for (const LocalNetwork& network : networks) {
            if (joinRank(network) != rank)
                continue;
            QHostAddress address = plainAddress(network.address);
            address.setScopeId({});
            std::string text = address.toString().toStdString();
            if (offered.insert(text).second)
                addresses.push_back(std::move(text));
        }
    }
    return addresses;
}

} // namespace cantorix::platform
