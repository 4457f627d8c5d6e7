#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// ARP over an AF_PACKET socket (needs CAP_NET_RAW). Addresses are IPv4 in network byte order.
namespace netconfig {

using MacAddress = std::array<std::uint8_t, 6>;

inline constexpr std::uint16_t kArpRequest = 1;
inline constexpr std::uint16_t kArpReply = 2;
inline constexpr std::size_t kArpPacketSize = 28;

struct ArpPacket {
    std::uint16_t operation = 0;
    MacAddress senderHardware{};
    std::uint32_t senderAddress = 0;
    MacAddress targetHardware{};
    std::uint32_t targetAddress = 0;
};

// Ethernet/IPv4 ARP payload (the link header is the socket's business).
std::array<std::uint8_t, kArpPacketSize> EncodeArp(const ArpPacket& packet);
// Anything but Ethernet/IPv4 ARP of the right size is refused.
std::optional<ArpPacket> DecodeArp(const std::uint8_t* data, std::size_t length);

// Does this received packet show that another host uses the candidate? RFC 5227: it claims
// the address as its sender, or probes for it at the same time as we do.
bool ShowsConflict(const ArpPacket& packet, std::uint32_t candidate, const MacAddress& ours);
// Is this the answer to our request for the target?
bool AnswersRequest(const ArpPacket& packet, std::uint32_t target);

struct ArpResult {
    int error = 0;          // 0 or a negative errno value
    bool answered = false;  // somebody answered within the time allowed
    MacAddress hardware{};  // the answering host
};

// Asks for the target's hardware address from the given source address (0.0.0.0 makes it a
// probe); a few tries within timeoutMs.
[[nodiscard]] ArpResult ResolveAddress(std::uint32_t ifIndex, std::uint32_t target,
                                       std::uint32_t source, int timeoutMs);
// RFC 5227 probe: sender address 0.0.0.0, so no neighbour learns anything from it; answered
// when another host uses the candidate.
[[nodiscard]] ArpResult ProbeAddress(std::uint32_t ifIndex, std::uint32_t candidate, int timeoutMs);

} // namespace netconfig
