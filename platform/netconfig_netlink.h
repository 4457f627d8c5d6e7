#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Kernel network configuration over rtnetlink (libnl-route-3), without Qt, so that the
// privileged helper can use it too. Addresses are IPv4 in network byte order. Every call opens
// its own netlink socket: callers on different threads never share one. Results are 0 or a
// negative errno value.
namespace netconfig {

struct LinkInfo {
    std::uint32_t index = 0;
    std::string name;
    std::vector<std::uint8_t> hardwareAddress;
    unsigned arpType = 0;       // ARPHRD_*
    unsigned flags = 0;         // IFF_*
    std::uint8_t operState = 0; // IF_OPER_*
    bool wireless = false;
    std::string kind; // the driver's link kind ("vxlan", "bridge", ...); empty for hardware
};

// Link kinds that carry traffic somewhere else than the local network: a temporary address
// there would not reach a repeater beside the PC.
bool IsTunnelKind(const std::string& kind);

// Up with carrier: an adapter without it keeps its addresses but reaches nobody. Adapters that
// report no operational state (IF_OPER_UNKNOWN) count when they are up.
bool IsConnected(const LinkInfo& link);

struct AddressInfo {
    std::uint32_t index = 0;
    std::uint32_t address = 0;
    std::uint8_t prefixLength = 0;
    std::uint32_t flags = 0;         // IFA_F_*
    std::uint32_t validLifetime = 0; // seconds; 0xFFFFFFFF is forever
    std::uint32_t createStamp = 0;   // hundredths of a second since boot; tells apart two
                                     // addresses that were added one after the other
};

struct RouteInfo {
    std::uint32_t table = 0;
    std::uint8_t type = 0; // RTN_*
    std::uint32_t destination = 0;
    std::uint8_t prefixLength = 0;
    std::uint32_t priority = 0; // the metric
    std::uint32_t ifIndex = 0;  // of the first next hop; 0 when there is none
    std::uint32_t preferredSource = 0;
};

struct NeighbourInfo {
    std::uint16_t state = 0; // NUD_*
    std::vector<std::uint8_t> hardwareAddress;
};

// The route the kernel would use for the destination: its prefix length (0 for a default
// route) and outgoing interface.
[[nodiscard]] int LookupRoute(std::uint32_t destination, std::uint8_t& prefixLength,
                              std::uint32_t& ifIndex);
[[nodiscard]] int ListLinks(std::vector<LinkInfo>& links);
// IPv4 addresses in the kernel's order (per interface: primary first).
[[nodiscard]] int ListAddresses(std::vector<AddressInfo>& addresses);
// The IPv4 routes of every table.
[[nodiscard]] int ListRoutes(std::vector<RouteInfo>& routes);

// exclusive: fail with -EEXIST when the address is there already (never take over an address
// somebody else configured); otherwise only the lifetimes of an existing address are renewed.
// The address comes without a subnet route: the caller routes only what it needs through it.
[[nodiscard]] int AddAddress(std::uint32_t ifIndex, std::uint32_t address,
                             std::uint8_t prefixLength, std::uint32_t lifetimeSeconds,
                             bool exclusive);
// Deletions and the flush may be ignored where they only clean up.
int DeleteAddress(std::uint32_t ifIndex, std::uint32_t address, std::uint8_t prefixLength);
// A /32 route to destination on the interface's link, leaving from source. The kernel removes
// it by itself when source is deleted or runs out of lifetime.
[[nodiscard]] int AddHostRoute(std::uint32_t ifIndex, std::uint32_t destination,
                               std::uint32_t source);
int DeleteHostRoute(std::uint32_t ifIndex, std::uint32_t destination, std::uint32_t source);
// Deletes the interface's IPv4 neighbour entries, except permanent and no-ARP ones: those
// were configured by somebody on purpose.
int FlushNeighbours(std::uint32_t ifIndex);
[[nodiscard]] int ReadNeighbour(std::uint32_t ifIndex, std::uint32_t address,
                                NeighbourInfo& neighbour);

[[nodiscard]] bool FindLink(const std::vector<LinkInfo>& links, std::uint32_t ifIndex,
                            LinkInfo& link);

// Mask <-> prefix length; -1 for a mask that is not contiguous.
int PrefixLength(std::uint32_t mask);
std::uint32_t MaskFromPrefix(int prefixLength);

std::string AddressText(std::uint32_t address);
std::string ErrorText(int error);

} // namespace netconfig
