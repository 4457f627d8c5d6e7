#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the wizard may ask of kelda-netconfig-helper, one request and one reply per
// SOCK_SEQPACKET message over the socket pair the wizard starts it with (the helper's standard
// input: pkexec closes every other descriptor). Fixed-size records: a message of any other size
// is refused. A reply carries its request's sequence number, so an answer that comes after the
// wizard stopped waiting is recognised and dropped instead of being taken for the next one.
namespace netconfig {

inline constexpr std::uint32_t kHelperProtocolVersion = 2;
inline constexpr int kHelperSocketFd = 0;
inline constexpr char kHelperProgramName[] = "kelda-netconfig-helper";

enum class HelperOp : std::uint32_t {
    Hello = 1,       // version check; the reply says whether the helper holds its privileges
    AddAddress,      // ifIndex, address, prefixLength, device, value = lifetime (s) -> context
    DeleteAddress,   // context (only addresses this helper added)
    ResolveAddress,  // ifIndex, address = target, source (0: the helper picks), value = ms
    ProbeAddress,    // ifIndex, address = candidate, value = ms
    FlushNeighbours, // ifIndex
};

struct HelperRequest {
    std::uint32_t op = 0;
    std::uint32_t version = kHelperProtocolVersion;
    std::uint32_t ifIndex = 0;
    std::uint32_t address = 0; // network byte order
    std::uint32_t source = 0;  // network byte order
    std::uint32_t prefixLength = 0;
    std::uint32_t context = 0;
    std::uint32_t value = 0;
    std::uint32_t sequence = 0;
    // The device a temporary address is for: it alone is routed through that address.
    std::uint32_t device = 0; // network byte order
};

struct HelperReply {
    std::int32_t error = 0; // 0 or a positive errno value
    std::uint32_t context = 0;
    std::uint32_t answered = 0;
    std::uint8_t hardware[8] = {};
    std::uint32_t hardwareLength = 0;
    char message[200] = {};
    std::uint32_t sequence = 0;
};

// Bounds the helper holds the wizard to.
inline constexpr std::uint32_t kMinimumLifetime = 10;
inline constexpr std::uint32_t kMaximumLifetime = 600;
inline constexpr std::uint32_t kMaximumArpWait = 5000;
inline constexpr int kMaximumAddresses = 16;

struct RouteInfo;

// Is the subnet wholly inside 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16 or 169.254.0.0/16, and
// no wider than /8 (10/8 only) nor narrower than /30? The discovery reply that names a device's
// subnet is nobody's word: a temporary address elsewhere could take over traffic for the
// internet or a VPN.
bool IsPrivateSubnet(std::uint32_t address, int prefixLength, std::string& why);
// May the helper add this address? Only .241 to .247 of a private subnet (above), never the
// subnet's own network or broadcast address. why says what is wrong.
bool IsAllowedTemporaryAddress(std::uint32_t address, std::uint32_t prefixLength,
                               std::string& why);
// May the PC route to this device through the temporary address? Only a host of the
// address's own subnet, other than the address itself and the subnet's network and broadcast.
bool IsAllowedDevice(std::uint32_t device, std::uint32_t address, std::uint32_t prefixLength,
                     std::string& why);
// A route to the device that somebody else made: a host route at any metric, in any table, or a
// route narrower than a default one that leads elsewhere than ifIndex (a VPN's) or nowhere.
// Ours would win over it, so the helper then adds nothing for that device.
bool FindForeignRoute(const std::vector<RouteInfo>& routes, std::uint32_t device,
                      std::uint32_t ifIndex, std::string& why);
// The candidate range alone, for probes.
bool IsCandidateAddress(std::uint32_t address);

void SetReplyMessage(HelperReply& reply, const std::string& text);

} // namespace netconfig
