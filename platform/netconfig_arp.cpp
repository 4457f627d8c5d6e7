#include "platform/netconfig_arp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace netconfig {
namespace {

void Put16(std::uint8_t* out, std::uint16_t value)
{
    out[0] = std::uint8_t(value >> 8);
    out[1] = std::uint8_t(value);
}

std::uint16_t Get16(const std::uint8_t* in)
{
    return std::uint16_t((in[0] << 8) | in[1]);
}

class PacketSocket {
public:
    ~PacketSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int Open(std::uint32_t ifIndex)
    {
        m_ifIndex = ifIndex;
        m_fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ARP));
        if (m_fd < 0)
            return -errno;
        sockaddr_ll local{};
        local.sll_family = AF_PACKET;
        local.sll_protocol = htons(ETH_P_ARP);
        local.sll_ifindex = int(ifIndex);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0)
            return -errno;
        // The bound socket names the adapter's hardware address itself: no interface name to
        // look up, no ioctl for the helper's system-call filter to allow.
        sockaddr_ll bound{};
        socklen_t length = sizeof bound;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&bound), &length) < 0)
            return -errno;
        if (bound.sll_hatype != ARPHRD_ETHER || bound.sll_halen != 6)
            return -EAFNOSUPPORT;
        std::memcpy(m_mac.data(), bound.sll_addr, 6);
        return 0;
    }

    const MacAddress& Mac() const { return m_mac; }

    int SendRequest(std::uint32_t source, std::uint32_t target)
    {
        ArpPacket packet;
        packet.operation = kArpRequest;
        packet.senderHardware = m_mac;
        packet.senderAddress = source;
        packet.targetAddress = target;
        const auto bytes = EncodeArp(packet);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_protocol = htons(ETH_P_ARP);
        to.sll_ifindex = int(m_ifIndex);
        to.sll_halen = 6;
        std::memset(to.sll_addr, 0xFF, 6);
        if (::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to) < 0)
            return -errno;
        return 0;
    }

    // Waits up to waitMs for an incoming ARP packet that the predicate accepts.
    template <typename Accept>
    std::optional<ArpPacket> Receive(int waitMs, Accept accept)
    {
        using Clock = std::chrono::steady_clock;
        const auto end = Clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0)
                return std::nullopt;
            pollfd wait{m_fd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, int(left));
            if (ready < 0 && errno != EINTR)
                return std::nullopt;
            if (ready <= 0)
                continue;
            std::uint8_t buffer[128];
            sockaddr_ll from{};
            socklen_t fromLength = sizeof from;
            const ssize_t length = ::recvfrom(m_fd, buffer, sizeof buffer, 0,
                                              reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (length < 0)
                continue;
            // Our own requests come back to a packet socket; they prove nothing.
            if (from.sll_pkttype == PACKET_OUTGOING)
                continue;
            const auto packet = DecodeArp(buffer, std::size_t(length));
            if (packet && accept(*packet))
                return packet;
        }
    }

private:
    int m_fd = -1;
    std::uint32_t m_ifIndex = 0;
    MacAddress m_mac{};
};

} // namespace

std::array<std::uint8_t, kArpPacketSize> EncodeArp(const ArpPacket& packet)
{
    std::array<std::uint8_t, kArpPacketSize> out{};
    Put16(&out[0], ARPHRD_ETHER);
    Put16(&out[2], ETH_P_IP);
    out[4] = 6;
    out[5] = 4;
    Put16(&out[6], packet.operation);
    std::memcpy(&out[8], packet.senderHardware.data(), 6);
    std::memcpy(&out[14], &packet.senderAddress, 4);
    std::memcpy(&out[18], packet.targetHardware.data(), 6);
    std::memcpy(&out[24], &packet.targetAddress, 4);
    return out;
}

std::optional<ArpPacket> DecodeArp(const std::uint8_t* data, std::size_t length)
{
    // Ethernet frames are padded to 46 bytes of payload: more than 28 bytes is normal.
    if (!data || length < kArpPacketSize)
        return std::nullopt;
    if (Get16(&data[0]) != ARPHRD_ETHER || Get16(&data[2]) != ETH_P_IP || data[4] != 6 ||
        data[5] != 4)
        return std::nullopt;
    ArpPacket packet;
    packet.operation = Get16(&data[6]);
    if (packet.operation != kArpRequest && packet.operation != kArpReply)
        return std::nullopt;
    std::memcpy(packet.senderHardware.data(), &data[8], 6);
    std::memcpy(&packet.senderAddress, &data[14], 4);
    std::memcpy(packet.targetHardware.data(), &data[18], 6);
    std::memcpy(&packet.targetAddress, &data[24], 4);
    return packet;
}

bool ShowsConflict(const ArpPacket& packet, std::uint32_t candidate, const MacAddress& ours)
{
    if (packet.senderHardware == ours)
        return false;
    if (packet.senderAddress == candidate)
        return true;
    return packet.operation == kArpRequest && packet.senderAddress == 0 &&
           packet.targetAddress == candidate;
}

bool AnswersRequest(const ArpPacket& packet, std::uint32_t target)
{
    return packet.operation == kArpReply && packet.senderAddress == target;
}

ArpResult ResolveAddress(std::uint32_t ifIndex, std::uint32_t target, std::uint32_t source,
                         int timeoutMs)
{
    ArpResult result;
    PacketSocket socket;
    if ((result.error = socket.Open(ifIndex)) < 0)
        return result;
    constexpr int kTries = 3;
    const int slice = timeoutMs / kTries > 0 ? timeoutMs / kTries : 1;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if ((result.error = socket.SendRequest(source, target)) < 0)
            return result;
        const auto answer =
            socket.Receive(slice, [target](const ArpPacket& p) { return AnswersRequest(p, target); });
        if (answer) {
            result.answered = true;
            result.hardware = answer->senderHardware;
            return result;
        }
    }
    return result;
}

ArpResult ProbeAddress(std::uint32_t ifIndex, std::uint32_t candidate, int timeoutMs)
{
    ArpResult result;
    PacketSocket socket;
    if ((result.error = socket.Open(ifIndex)) < 0)
        return result;
    const MacAddress ours = socket.Mac();
    const auto conflict = [candidate, &ours](const ArpPacket& p) {
        return ShowsConflict(p, candidate, ours);
    };
    // Three probes, then listen for the rest of the time: an answer usually comes at once.
    constexpr int kProbes = 3;
    const int gap = timeoutMs / (kProbes + 1) > 0 ? timeoutMs / (kProbes + 1) : 1;
    for (int probe = 0; probe <= kProbes; ++probe) {
        if (probe < kProbes && (result.error = socket.SendRequest(0, candidate)) < 0)
            return result;
        if (const auto answer = socket.Receive(gap, conflict)) {
            result.answered = true;
            result.hardware = answer->senderHardware;
            return result;
        }
    }
    return result;
}

} // namespace netconfig
