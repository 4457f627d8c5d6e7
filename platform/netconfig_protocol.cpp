#include "platform/netconfig_protocol.h"

#include "platform/netconfig_netlink.h"

#include <arpa/inet.h>
#include <cstring>

namespace netconfig {

bool IsCandidateAddress(std::uint32_t address)
{
    const std::uint32_t last = ntohl(address) & 0xFF;
    return last >= 241 && last <= 247;
}

bool IsAllowedTemporaryAddress(std::uint32_t address, std::uint32_t prefixLength,
                               std::string& why)
{
    const std::uint32_t host = ntohl(address);
    if (!IsCandidateAddress(address)) {
        why = "only addresses ending in .241 to .247 may be added";
        return false;
    }
    if (prefixLength < 8 || prefixLength > 30) {
        why = "the subnet must be between /8 and /30";
        return false;
    }
    const std::uint32_t first = host >> 24;
    if (first == 0 || first == 127 || first >= 224) {
        why = "not an ordinary unicast address";
        return false;
    }
    const std::uint32_t mask = ntohl(MaskFromPrefix(int(prefixLength)));
    if ((host & ~mask) == 0 || (host & ~mask) == ~mask) {
        why = "the subnet's network or broadcast address";
        return false;
    }
    return true;
}

bool IsAllowedDevice(std::uint32_t device, std::uint32_t address, std::uint32_t prefixLength,
                     std::string& why)
{
    if (prefixLength > 32) {
        why = "no such subnet";
        return false;
    }
    const std::uint32_t host = ntohl(device);
    const std::uint32_t mask = ntohl(MaskFromPrefix(int(prefixLength)));
    if ((host & mask) != (ntohl(address) & mask)) {
        why = "the device is outside the address's subnet";
        return false;
    }
    if (device == address || (host & ~mask) == 0 || (host & ~mask) == ~mask) {
        why = "not a host of the subnet";
        return false;
    }
    return true;
}

void SetReplyMessage(HelperReply& reply, const std::string& text)
{
    std::memset(reply.message, 0, sizeof reply.message);
    std::strncpy(reply.message, text.c_str(), sizeof reply.message - 1);
}

} // namespace netconfig
