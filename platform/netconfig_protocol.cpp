#include "platform/netconfig_protocol.h"

#include "platform/netconfig_netlink.h"

#include <arpa/inet.h>
#include <cstring>
#include <linux/rtnetlink.h>

namespace netconfig {

bool IsCandidateAddress(std::uint32_t address)
{
    const std::uint32_t last = ntohl(address) & 0xFF;
    return last >= 241 && last <= 247;
}

bool IsPrivateSubnet(std::uint32_t address, int prefixLength, std::string& why)
{
    struct SBlock {
        std::uint32_t network;
        int prefixLength;
    };
    static constexpr SBlock kPrivate[] = {
        {0x0A000000u, 8}, {0xAC100000u, 12}, {0xC0A80000u, 16}, {0xA9FE0000u, 16}};
    const std::uint32_t host = ntohl(address);
    if (prefixLength < 8 || prefixLength > 30) {
        why = "the subnet must be between /8 and /30";
        return false;
    }
    for (const SBlock& block : kPrivate) {
        const std::uint32_t mask = ntohl(MaskFromPrefix(block.prefixLength));
        if ((host & mask) != block.network)
            continue;
        if (prefixLength >= block.prefixLength)
            return true;
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "/" + std::string.
        why = std::string(1, '/');
        why += std::to_string(prefixLength);
        why += " reaches beyond " + AddressText(htonl(block.network));
        why += '/';
        why += std::to_string(block.prefixLength);
        return false;
    }
    why = "not a private network (10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16, 169.254.0.0/16)";
    return false;
}

bool IsAllowedTemporaryAddress(std::uint32_t address, std::uint32_t prefixLength,
                               std::string& why)
{
    const std::uint32_t host = ntohl(address);
    if (!IsCandidateAddress(address)) {
        why = "only addresses ending in .241 to .247 may be added";
        return false;
    }
    if (prefixLength > 32 || !IsPrivateSubnet(address, int(prefixLength), why))
        return false;
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

bool FindForeignRoute(const std::vector<RouteInfo>& routes, std::uint32_t device,
                      std::uint32_t ifIndex, std::string& why)
{
    for (const RouteInfo& route : routes) {
        const std::uint32_t mask = MaskFromPrefix(route.prefixLength);
        if (route.prefixLength == 0 || (device & mask) != (route.destination & mask))
            continue;
        const std::string what =
            AddressText(route.destination) + "/" + std::to_string(route.prefixLength) + " (table " +
            std::to_string(route.table) + ", metric " + std::to_string(route.priority) + ")";
        if (route.prefixLength == 32) {
            why = "a route to " + AddressText(device) + " is there already: " + what;
            return true;
        }
        if (route.type != RTN_UNICAST || route.ifIndex != ifIndex) {
            why = "the PC routes " + AddressText(device) + " elsewhere: " + what;
            return true;
        }
    }
    return false;
}

void SetReplyMessage(HelperReply& reply, const std::string& text)
{
    std::memset(reply.message, 0, sizeof reply.message);
    std::strncpy(reply.message, text.c_str(), sizeof reply.message - 1);
}

} // namespace netconfig
