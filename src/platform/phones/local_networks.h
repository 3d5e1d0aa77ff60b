#pragma once
// The networks this computer is on, read from its interfaces (getifaddrs) and routing table
// (/proc/net/route, /proc/net/ipv6_route): who may join (loopback and peers on one of these
// subnets, IPv6 link-local; a unique-local address only on a subnet of ours) and at which addresses
// guests can reach the game (the default route's interface first, IPv4 before IPv6).

#include <QHostAddress>
#include <string>
#include <vector>

namespace cantorix::platform {

struct LocalNetwork {
    std::string interfaceName;
    QHostAddress address; // this computer's address on it
    int prefixLength = 0;
    bool defaultRoute = false; // the default route leaves by this interface
    bool loopback = false;
};

std::vector<LocalNetwork> listLocalNetworks();

// Whether peer may be answered: loopback, IPv6 link-local, or on one of
// networks' subnets. IPv4-mapped IPv6 addresses count as their IPv4 address.
bool peerAllowed(const QHostAddress& peer, const std::vector<LocalNetwork>& networks);

// The addresses to offer in join codes, best first: the default route's IPv4, other IPv4,
// the default route's IPv6, other global or unique-local IPv6; never loopback or link-local
// (a phone cannot use them in an address bar). Empty when the computer has no network: then
// only this computer's own browser can join, at 127.0.0.1.
std::vector<std::string> joinAddresses(const std::vector<LocalNetwork>& networks);

} // namespace cantorix::platform
