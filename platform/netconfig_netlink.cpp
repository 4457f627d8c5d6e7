#include "platform/netconfig_netlink.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if.h>
#include <linux/if_addr.h>
#include <linux/if_arp.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/neighbour.h>
#include <netlink/route/route.h>
#include <netlink/socket.h>
#include <sys/stat.h>

namespace netconfig {
namespace {

struct SocketDeleter {
    void operator()(nl_sock* socket) const { nl_socket_free(socket); }
};
struct CacheDeleter {
    void operator()(nl_cache* cache) const { nl_cache_free(cache); }
};
struct AddrDeleter {
    void operator()(nl_addr* address) const { nl_addr_put(address); }
};
struct RtnlAddrDeleter {
    void operator()(rtnl_addr* address) const { rtnl_addr_put(address); }
};
struct RouteDeleter {
    void operator()(rtnl_route* route) const { rtnl_route_put(route); }
};
struct MsgDeleter {
    void operator()(nl_msg* message) const { nlmsg_free(message); }
};
using Socket = std::unique_ptr<nl_sock, SocketDeleter>;
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

// libnl reports its own codes; callers want errno values for their messages.
int FromLibnl(int error)
{
    if (error >= 0)
        return error;
    switch (-error) {
    case NLE_PERM: return -EPERM;
    case NLE_NOACCESS: return -EACCES;
    case NLE_EXIST: return -EEXIST;
    case NLE_NOADDR: return -EADDRNOTAVAIL;
    case NLE_OBJ_NOTFOUND: return -ENOENT;
    case NLE_NODEV: return -ENODEV;
    case NLE_INVAL: return -EINVAL;
    case NLE_NOMEM: return -ENOMEM;
    case NLE_AGAIN: return -EAGAIN;
    case NLE_BUSY: return -EBUSY;
    case NLE_OPNOTSUPP: return -EOPNOTSUPP;
    default: return -EIO;
    }
}

int Connect(Socket& socket)
{
    socket.reset(nl_socket_alloc());
    if (!socket)
        return -ENOMEM;
    return FromLibnl(nl_connect(socket.get(), NETLINK_ROUTE));
}

// One request on a socket of its own: `request` is what `send` hands the kernel, null when it
// could not be built.
template <typename Request, typename Send>
int SendOne(const Request& request, Send send)
{
    if (!request)
        return -ENOMEM;
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    return FromLibnl(send(socket.get(), request.get()));
}

std::unique_ptr<nl_addr, AddrDeleter> BuildAddress(std::uint32_t address, int prefixLength)
{
    std::unique_ptr<nl_addr, AddrDeleter> result(nl_addr_build(AF_INET, &address, 4));
    if (result)
        nl_addr_set_prefixlen(result.get(), prefixLength);
    return result;
}

std::unique_ptr<rtnl_addr, RtnlAddrDeleter> BuildRtnlAddress(std::uint32_t ifIndex,
                                                             std::uint32_t address,
                                                             std::uint8_t prefixLength)
{
    std::unique_ptr<rtnl_addr, RtnlAddrDeleter> result(rtnl_addr_alloc());
    const auto local = BuildAddress(address, prefixLength);
    if (!result || !local)
        return nullptr;
    rtnl_addr_set_family(result.get(), AF_INET);
    rtnl_addr_set_ifindex(result.get(), int(ifIndex));
    if (rtnl_addr_set_local(result.get(), local.get()) < 0)
        return nullptr;
    rtnl_addr_set_prefixlen(result.get(), prefixLength);
    return result;
}

// Wireless adapters look like Ethernet to rtnetlink; sysfs tells them apart. Inside a network
// namespace /sys may still show another namespace's devices, so the index must match too.
bool IsWireless(const std::string& name, std::uint32_t ifIndex)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return false;
    const std::string base = "/sys/class/net/" + name;
    FILE* file = std::fopen((base + "/ifindex").c_str(), "re");
    if (!file)
        return false;
    unsigned long index = 0;
    const bool read = std::fscanf(file, "%lu", &index) == 1;
    std::fclose(file);
    if (!read || index != ifIndex)
        return false;
    struct stat info{};
    return ::stat((base + "/wireless").c_str(), &info) == 0 ||
           ::stat((base + "/phy80211").c_str(), &info) == 0;
}

// One RTM_GETROUTE request with RTM_F_FIB_MATCH: libnl's own lookup always answers with a /32,
// which hides whether only the default route leads to the destination.
int ParseRouteReply(const nlmsghdr* header, int length, std::uint8_t& prefixLength,
                    std::uint32_t& ifIndex)
{
#if defined(__clang__)
// NLMSG_OK compares the signed length with the unsigned nlmsg_len; it checks the sign first.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wsign-compare"
#endif
    for (; NLMSG_OK(header, length); header = NLMSG_NEXT(header, length)) {
        if (header->nlmsg_type == NLMSG_ERROR) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                return -EIO;
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
            return error->error < 0 ? error->error : -EIO;
        }
        if (header->nlmsg_type != RTM_NEWROUTE)
            continue;
        if (header->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
            return -EIO;
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
        if (route->rtm_type != RTN_UNICAST && route->rtm_type != RTN_LOCAL)
            return -ENETUNREACH;
        std::uint32_t outIndex = 0;
        int attributesLength = int(RTM_PAYLOAD(header));
        for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, attributesLength);
             attribute = RTA_NEXT(attribute, attributesLength)) {
            if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= 4) {
                std::memcpy(&outIndex, RTA_DATA(attribute), 4);
            } else if (attribute->rta_type == RTA_MULTIPATH && outIndex == 0 &&
                       RTA_PAYLOAD(attribute) >= sizeof(rtnexthop)) {
                const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
                outIndex = std::uint32_t(hop->rtnh_ifindex);
            }
        }
        if (outIndex == 0)
            return -ENETUNREACH;
        prefixLength = route->rtm_dst_len;
        ifIndex = outIndex;
        return 0;
    }
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    return -EIO;
}

} // namespace

int LookupRoute(std::uint32_t destination, std::uint8_t& prefixLength, std::uint32_t& ifIndex)
{
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    std::unique_ptr<nl_msg, MsgDeleter> message(nlmsg_alloc_simple(RTM_GETROUTE, 0));
    if (!message)
        return -ENOMEM;
    rtmsg request{};
    request.rtm_family = AF_INET;
    request.rtm_dst_len = 32;
    request.rtm_flags = RTM_F_FIB_MATCH;
    if (nlmsg_append(message.get(), &request, sizeof request, NLMSG_ALIGNTO) < 0 ||
        nla_put_u32(message.get(), RTA_DST, destination) < 0)
        return -ENOMEM;
    nl_socket_disable_auto_ack(socket.get());
    if (const int sent = nl_send_auto(socket.get(), message.get()); sent < 0)
        return FromLibnl(sent);

    sockaddr_nl peer{};
    unsigned char* buffer = nullptr;
    const int length = nl_recv(socket.get(), &peer, &buffer, nullptr);
    if (length <= 0) {
        std::free(buffer);
        return length < 0 ? FromLibnl(length) : -EIO;
    }
    const int result =
        ParseRouteReply(reinterpret_cast<const nlmsghdr*>(buffer), length, prefixLength, ifIndex);
    std::free(buffer);
    return result;
}

int ListLinks(std::vector<LinkInfo>& links)
{
    links.clear();
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    nl_cache* raw = nullptr;
    if (const int error = rtnl_link_alloc_cache(socket.get(), AF_UNSPEC, &raw); error < 0)
        return FromLibnl(error);
    const Cache cache(raw);
    for (nl_object* object = nl_cache_get_first(raw); object; object = nl_cache_get_next(object)) {
        auto* link = reinterpret_cast<rtnl_link*>(object);
        LinkInfo info;
        info.index = std::uint32_t(rtnl_link_get_ifindex(link));
        if (const char* name = rtnl_link_get_name(link))
            info.name = name;
        if (nl_addr* address = rtnl_link_get_addr(link)) {
            const auto* bytes = static_cast<const std::uint8_t*>(nl_addr_get_binary_addr(address));
            info.hardwareAddress.assign(bytes, bytes + nl_addr_get_len(address));
        }
        info.arpType = rtnl_link_get_arptype(link);
        info.flags = rtnl_link_get_flags(link);
        info.operState = rtnl_link_get_operstate(link);
        info.wireless = info.arpType == ARPHRD_ETHER && IsWireless(info.name, info.index);
        if (const char* kind = rtnl_link_get_type(link))
            info.kind = kind;
        links.push_back(std::move(info));
    }
    return 0;
}

int ListAddresses(std::vector<AddressInfo>& addresses)
{
    addresses.clear();
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    nl_cache* raw = nullptr;
    if (const int error = rtnl_addr_alloc_cache(socket.get(), &raw); error < 0)
        return FromLibnl(error);
    const Cache cache(raw);
    for (nl_object* object = nl_cache_get_first(raw); object; object = nl_cache_get_next(object)) {
        auto* address = reinterpret_cast<rtnl_addr*>(object);
        if (rtnl_addr_get_family(address) != AF_INET)
            continue;
        nl_addr* local = rtnl_addr_get_local(address);
        if (!local || nl_addr_get_len(local) != 4)
            continue;
        AddressInfo info;
        info.index = std::uint32_t(rtnl_addr_get_ifindex(address));
        std::memcpy(&info.address, nl_addr_get_binary_addr(local), 4);
        info.prefixLength = std::uint8_t(rtnl_addr_get_prefixlen(address));
        info.flags = rtnl_addr_get_flags(address);
        info.validLifetime = rtnl_addr_get_valid_lifetime(address);
        info.createStamp = rtnl_addr_get_create_time(address);
        addresses.push_back(info);
    }
    return 0;
}

int ListRoutes(std::vector<RouteInfo>& routes)
{
    routes.clear();
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    nl_cache* raw = nullptr;
    if (const int error = rtnl_route_alloc_cache(socket.get(), AF_INET, 0, &raw); error < 0)
        return FromLibnl(error);
    const Cache cache(raw);
    for (nl_object* object = nl_cache_get_first(raw); object; object = nl_cache_get_next(object)) {
        auto* route = reinterpret_cast<rtnl_route*>(object);
        if (rtnl_route_get_family(route) != AF_INET)
            continue;
        RouteInfo info;
        info.table = rtnl_route_get_table(route);
        info.type = std::uint8_t(rtnl_route_get_type(route));
        if (nl_addr* destination = rtnl_route_get_dst(route)) {
            if (nl_addr_get_len(destination) == 4)
                std::memcpy(&info.destination, nl_addr_get_binary_addr(destination), 4);
            info.prefixLength = std::uint8_t(nl_addr_get_prefixlen(destination));
        }
        info.priority = rtnl_route_get_priority(route);
        if (rtnl_route_get_nnexthops(route) > 0)
            info.ifIndex = std::uint32_t(rtnl_route_nh_get_ifindex(rtnl_route_nexthop_n(route, 0)));
        if (nl_addr* source = rtnl_route_get_pref_src(route);
            source && nl_addr_get_len(source) == 4)
            std::memcpy(&info.preferredSource, nl_addr_get_binary_addr(source), 4);
        routes.push_back(info);
    }
    return 0;
}

int AddAddress(std::uint32_t ifIndex, std::uint32_t address, std::uint8_t prefixLength,
               std::uint32_t lifetimeSeconds, bool exclusive)
{
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    const auto request = BuildRtnlAddress(ifIndex, address, prefixLength);
    if (!request)
        return -ENOMEM;
    if (prefixLength < 31) {
        const auto broadcast = BuildAddress(address | ~MaskFromPrefix(prefixLength), 32);
        if (!broadcast || rtnl_addr_set_broadcast(request.get(), broadcast.get()) < 0)
            return -ENOMEM;
    }
    // A finite lifetime: should everything of ours be killed, the kernel still removes it.
    rtnl_addr_set_valid_lifetime(request.get(), lifetimeSeconds);
    rtnl_addr_set_preferred_lifetime(request.get(), lifetimeSeconds);
    // A subnet route would capture all of the PC's traffic to that subnet, and with a wide mask
    // the traffic of its other routes too.
    rtnl_addr_set_flags(request.get(), IFA_F_NOPREFIXROUTE);
    return FromLibnl(
        rtnl_addr_add(socket.get(), request.get(), exclusive ? NLM_F_EXCL : NLM_F_REPLACE));
}

int DeleteAddress(std::uint32_t ifIndex, std::uint32_t address, std::uint8_t prefixLength)
{
    return SendOne(BuildRtnlAddress(ifIndex, address, prefixLength),
                   [](nl_sock* socket, rtnl_addr* request) {
                       return rtnl_addr_delete(socket, request, 0);
                   });
}

namespace
{

std::unique_ptr<rtnl_route, RouteDeleter>
BuildHostRoute(std::uint32_t ifIndex, std::uint32_t destination, std::uint32_t source)
{
    std::unique_ptr<rtnl_route, RouteDeleter> route(rtnl_route_alloc());
    const auto target = BuildAddress(destination, 32);
    const auto from = BuildAddress(source, 32);
    if (!route || !target || !from)
        return nullptr;
    rtnl_route_set_family(route.get(), AF_INET);
    rtnl_route_set_table(route.get(), RT_TABLE_MAIN);
    rtnl_route_set_type(route.get(), RTN_UNICAST);
    rtnl_route_set_scope(route.get(), RT_SCOPE_LINK);
    rtnl_route_set_protocol(route.get(), RTPROT_STATIC);
    if (rtnl_route_set_dst(route.get(), target.get()) < 0 ||
        rtnl_route_set_pref_src(route.get(), from.get()) < 0)
        return nullptr;
    rtnl_nexthop* hop = rtnl_route_nh_alloc();
    if (!hop)
        return nullptr;
    rtnl_route_nh_set_ifindex(hop, int(ifIndex));
    rtnl_route_add_nexthop(route.get(), hop); // the route owns it now
    return route;
}

} // namespace

int AddHostRoute(std::uint32_t ifIndex, std::uint32_t destination, std::uint32_t source)
{
    // Exclusive: a route somebody configured to that host stays as it is.
    return SendOne(BuildHostRoute(ifIndex, destination, source),
                   [](nl_sock* socket, rtnl_route* route) {
                       return rtnl_route_add(socket, route, NLM_F_EXCL);
                   });
}

int DeleteHostRoute(std::uint32_t ifIndex, std::uint32_t destination, std::uint32_t source)
{
    return SendOne(BuildHostRoute(ifIndex, destination, source),
                   [](nl_sock* socket, rtnl_route* route) {
                       return rtnl_route_delete(socket, route, 0);
                   });
}

int FlushNeighbours(std::uint32_t ifIndex)
{
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    nl_cache* raw = nullptr;
    if (const int error = rtnl_neigh_alloc_cache(socket.get(), &raw); error < 0)
        return FromLibnl(error);
    const Cache cache(raw);
    int result = 0;
    for (nl_object* object = nl_cache_get_first(raw); object; object = nl_cache_get_next(object)) {
        auto* neighbour = reinterpret_cast<rtnl_neigh*>(object);
        if (rtnl_neigh_get_family(neighbour) != AF_INET ||
            std::uint32_t(rtnl_neigh_get_ifindex(neighbour)) != ifIndex)
            continue;
        if (rtnl_neigh_get_state(neighbour) & (NUD_PERMANENT | NUD_NOARP))
            continue;
        const int error = FromLibnl(rtnl_neigh_delete(socket.get(), neighbour, 0));
        // An entry the kernel dropped by itself in the meantime is flushed all the same.
        if (error < 0 && error != -ENOENT)
            result = error;
    }
    return result;
}

int ReadNeighbour(std::uint32_t ifIndex, std::uint32_t address, NeighbourInfo& neighbour)
{
    Socket socket;
    if (const int error = Connect(socket); error < 0)
        return error;
    nl_cache* raw = nullptr;
    if (const int error = rtnl_neigh_alloc_cache(socket.get(), &raw); error < 0)
        return FromLibnl(error);
    const Cache cache(raw);
    const auto wanted = BuildAddress(address, 32);
    if (!wanted)
        return -ENOMEM;
    rtnl_neigh* entry = rtnl_neigh_get(raw, int(ifIndex), wanted.get());
    if (!entry)
        return -ENOENT;
    neighbour.state = std::uint16_t(rtnl_neigh_get_state(entry));
    neighbour.hardwareAddress.clear();
    if (nl_addr* link = rtnl_neigh_get_lladdr(entry)) {
        const auto* bytes = static_cast<const std::uint8_t*>(nl_addr_get_binary_addr(link));
        neighbour.hardwareAddress.assign(bytes, bytes + nl_addr_get_len(link));
    }
    rtnl_neigh_put(entry);
    return 0;
}

bool IsTunnelKind(const std::string& kind)
{
    // tun also stands for tap; the gre family includes its Ethernet-framed variants.
    static const char* const kTunnels[] = {
        "tun",       "wireguard", "vxlan",     "geneve",  "gre", "gretap", "ip6gre",
        "ip6gretap", "erspan",    "ip6erspan", "ipip",    "sit", "ip6tnl", "vti",
        "vti6",      "ppp",       "l2tpeth",   "bareudp", "gtp", "ovpn"};
    return std::find(std::begin(kTunnels), std::end(kTunnels), kind) != std::end(kTunnels);
}

bool IsConnected(const LinkInfo& link)
{
    return link.operState == IF_OPER_UP ||
           (link.operState == IF_OPER_UNKNOWN && (link.flags & IFF_UP) != 0);
}

bool FindLink(const std::vector<LinkInfo>& links, std::uint32_t ifIndex, LinkInfo& link)
{
    for (const LinkInfo& candidate : links) {
        if (candidate.index == ifIndex) {
            link = candidate;
            return true;
        }
    }
    return false;
}

int PrefixLength(std::uint32_t mask)
{
    const std::uint32_t host = ntohl(mask);
    int length = 0;
    while (length < 32 && (host & (0x80000000u >> length)))
        ++length;
    return MaskFromPrefix(length) == mask ? length : -1;
}

std::uint32_t MaskFromPrefix(int prefixLength)
{
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xFFFFFFFFu;
    return htonl(~((1u << (32 - prefixLength)) - 1));
}

std::string AddressText(std::uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string ErrorText(int error)
{
    return std::strerror(error < 0 ? -error : error);
}

} // namespace netconfig
