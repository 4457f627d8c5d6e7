#include "tools/netconfig-helper/helperservice.h"

#include "platform/netconfig_arp.h"
#include "platform/netconfig_netlink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <net/if_arp.h>

using netconfig::HelperOp;
using netconfig::HelperReply;
using netconfig::HelperRequest;

namespace {

HelperReply Refuse(int error, const std::string& why)
{
    HelperReply reply;
    reply.error = error;
    netconfig::SetReplyMessage(reply, why);
    return reply;
}

// Adapters the wizard may touch: a working link to the local network. Ethernet framing (802.11
// adapters show as Ethernet too), not the loopback, no tunnel whatever its framing: the kind is
// what the driver says, not what the link is called.
bool LanLink(std::uint32_t ifIndex, netconfig::LinkInfo& link, HelperReply& refusal)
{
    std::vector<netconfig::LinkInfo> links;
    if (const int error = netconfig::ListLinks(links); error < 0) {
        refusal = Refuse(-error, "cannot list the adapters: " + netconfig::ErrorText(error));
        return false;
    }
    if (!netconfig::FindLink(links, ifIndex, link)) {
        refusal = Refuse(ENODEV, "no adapter with index " + std::to_string(ifIndex));
        return false;
    }
    if (link.arpType != ARPHRD_ETHER || (link.flags & IFF_LOOPBACK)) {
        refusal = Refuse(EINVAL, "refused: " + link.name + " is neither Ethernet nor 802.11");
        return false;
    }
    if (netconfig::IsTunnelKind(link.kind)) {
        refusal = Refuse(EINVAL, "refused: " + link.name + " is a tunnel (" + link.kind + ")");
        return false;
    }
    if (!netconfig::IsConnected(link)) {
        refusal = Refuse(ENETDOWN, "refused: " + link.name + " is down");
        return false;
    }
    return true;
}

HelperReply ArpReply(const netconfig::ArpResult& result)
{
    if (result.error < 0)
        return Refuse(-result.error, "ARP failed: " + netconfig::ErrorText(result.error));
    HelperReply reply;
    reply.answered = result.answered ? 1 : 0;
    if (result.answered) {
        std::memcpy(reply.hardware, result.hardware.data(), result.hardware.size());
        reply.hardwareLength = std::uint32_t(result.hardware.size());
    }
    return reply;
}

} // namespace

HelperReply CHelperService::Handle(const HelperRequest& request)
{
    return Handle(request, Clock::now());
}

HelperReply CHelperService::Handle(const HelperRequest& request, Clock::time_point now)
{
    if (request.version != netconfig::kHelperProtocolVersion)
        return Refuse(EPROTO, "refused: protocol version " + std::to_string(request.version));
    if (request.op == std::uint32_t(HelperOp::Hello)) {
        HelperReply reply;
        reply.context = netconfig::kHelperProtocolVersion;
        if (!m_privileged) {
            reply.error = EPERM;
            netconfig::SetReplyMessage(
                reply, "the privileged helper lacks CAP_NET_ADMIN and CAP_NET_RAW (it must run "
                       "as root, started through pkexec): temporary addresses cannot be added");
        }
        return reply;
    }
    if (!m_privileged)
        return Refuse(EPERM, "the privileged helper lacks CAP_NET_ADMIN and CAP_NET_RAW");
    const HelperOp op = HelperOp(request.op);
    if ((op == HelperOp::ResolveAddress || op == HelperOp::ProbeAddress ||
         op == HelperOp::FlushNeighbours) &&
        !TakeNetworkRequest(now))
        return Refuse(EBUSY, "refused: too many ARP and flush requests; try again shortly");
    switch (op) {
    case HelperOp::AddAddress: return Add(request, now);
    case HelperOp::DeleteAddress: return Delete(request, now);
    case HelperOp::ResolveAddress: return Resolve(request);
    case HelperOp::ProbeAddress: return Probe(request);
    case HelperOp::FlushNeighbours: return Flush(request);
    default: return Refuse(EINVAL, "refused: unknown request " + std::to_string(request.op));
    }
}

HelperReply CHelperService::Add(const HelperRequest& request, Clock::time_point now)
{
    std::string why;
    const std::string address = netconfig::AddressText(request.address);
    if (!netconfig::IsAllowedTemporaryAddress(request.address, request.prefixLength, why))
        return Refuse(EINVAL, "refused " + address + "/" + std::to_string(request.prefixLength) +
                                  ": " + why);
    if (!netconfig::IsAllowedDevice(request.device, request.address, request.prefixLength, why))
        return Refuse(EINVAL, "refused a route to " + netconfig::AddressText(request.device) +
                                  " from " + address + ": " + why);
    netconfig::LinkInfo link;
    HelperReply refusal;
    if (!LanLink(request.ifIndex, link, refusal))
        return refusal;
    if (m_added.size() >= std::size_t(netconfig::kMaximumAddresses))
        return Refuse(ENOSPC, "refused: too many temporary addresses");
    std::vector<netconfig::AddressInfo> present;
    if (const int error = netconfig::ListAddresses(present); error < 0)
        return Refuse(-error, "cannot list the addresses: " + netconfig::ErrorText(error));
    // Somebody's, with whatever prefix and on whichever adapter: ours beside it could never
    // be told apart from it by the PC's other programs.
    for (const netconfig::AddressInfo& info : present) {
        if (info.address == request.address)
            return Refuse(EEXIST, "refused: " + address + " is an address of the PC already (/" +
                                      std::to_string(info.prefixLength) + ")");
    }
    std::vector<netconfig::RouteInfo> routes;
    if (const int error = netconfig::ListRoutes(routes); error < 0)
        return Refuse(-error, "cannot list the routes: " + netconfig::ErrorText(error));
    if (netconfig::FindForeignRoute(routes, request.device, request.ifIndex, why))
        return Refuse(EEXIST, "refused: " + why + "; it is left as it is");
    const std::uint32_t lifetime =
        std::clamp(request.value, netconfig::kMinimumLifetime, netconfig::kMaximumLifetime);
    const auto prefix = std::uint8_t(request.prefixLength);
    if (const int error =
            netconfig::AddAddress(request.ifIndex, request.address, prefix, lifetime, true);
        error < 0)
        return Refuse(-error, "cannot add " + address + " on " + link.name + ": " +
                                  netconfig::ErrorText(error));
    // What tells our address from one added after it later on; unknown, it could never be
    // removed again, so it is not kept.
    bool stamped = false;
    std::uint32_t createStamp = 0;
    if (netconfig::ListAddresses(present) == 0) {
        for (const netconfig::AddressInfo& info : present) {
            if (info.index == request.ifIndex && info.address == request.address &&
                info.prefixLength == prefix) {
                createStamp = info.createStamp;
                stamped = true;
            }
        }
    }
    if (!stamped) {
        netconfig::DeleteAddress(request.ifIndex, request.address, prefix);
        return Refuse(EIO, "cannot read back " + address + " on " + link.name);
    }
    if (const int error = netconfig::AddHostRoute(request.ifIndex, request.device, request.address);
        error < 0) {
        netconfig::DeleteAddress(request.ifIndex, request.address, prefix);
        return Refuse(-error, "cannot route " + netconfig::AddressText(request.device) +
                                  " through " + address + " on " + link.name + ": " +
                                  netconfig::ErrorText(error));
    }
    const std::uint32_t context = m_nextContext++;
    m_added.push_back({context, request.ifIndex, request.address, prefix, request.device, lifetime,
                       createStamp, now + std::chrono::seconds(lifetime / 3),
                       now + std::chrono::seconds(lifetime)});
    HelperReply reply;
    reply.context = context;
    return reply;
}

HelperReply CHelperService::Delete(const HelperRequest& request, Clock::time_point now)
{
    const auto it = std::find_if(m_added.begin(), m_added.end(), [&](const SAdded& added) {
        return added.context == request.context;
    });
    if (it == m_added.end())
        return Refuse(EINVAL, "refused: not an address this helper added");
    // The record goes only once the kernel has shown the address gone or no longer ours: a
    // failed delete can be asked for again, and the exit still removes it.
    std::vector<netconfig::AddressInfo> present;
    if (const int error = netconfig::ListAddresses(present); error < 0)
        return Refuse(-error, "cannot list the addresses: " + netconfig::ErrorText(error));
    if (!StillOurs(*it, now, present)) {
        m_added.erase(it);
        return HelperReply{}; // gone already; what may stand there now is not ours
    }
    netconfig::DeleteHostRoute(it->ifIndex, it->device, it->address);
    const int error = netconfig::DeleteAddress(it->ifIndex, it->address, it->prefixLength);
    // Gone already (the adapter went away, or its lifetime ran out): deleted all the same.
    if (error < 0 && error != -EADDRNOTAVAIL && error != -ENOENT && error != -ENODEV)
        return Refuse(-error, "cannot delete " + netconfig::AddressText(it->address) + ": " +
                                  netconfig::ErrorText(error));
    m_added.erase(it);
    return HelperReply{};
}

HelperReply CHelperService::Resolve(const HelperRequest& request)
{
    netconfig::LinkInfo link;
    HelperReply refusal;
    if (!LanLink(request.ifIndex, link, refusal))
        return refusal;
    std::vector<netconfig::AddressInfo> addresses;
    if (const int error = netconfig::ListAddresses(addresses); error < 0)
        return Refuse(-error, "cannot list the addresses: " + netconfig::ErrorText(error));
    // A request from a foreign sender address would rewrite other hosts' ARP caches: only the
    // adapter's own addresses may speak.
    std::uint32_t source = request.source;
    bool own = false;
    std::uint32_t first = 0;
    for (const netconfig::AddressInfo& address : addresses) {
        if (address.index != request.ifIndex)
            continue;
        if (first == 0)
            first = address.address;
        const std::uint32_t mask = netconfig::MaskFromPrefix(address.prefixLength);
        if (request.source == 0 && source == 0 &&
            (address.address & mask) == (request.address & mask))
            source = address.address;
        if (address.address == request.source)
            own = true;
    }
    if (request.source == 0 && source == 0)
        source = first;
    else if (request.source != 0 && !own)
        return Refuse(EINVAL, "refused: " + netconfig::AddressText(request.source) +
                                  " is not an address of " + link.name);
    const int wait = int(std::min(request.value, netconfig::kMaximumArpWait));
    return ArpReply(netconfig::ResolveAddress(request.ifIndex, request.address, source, wait));
}

HelperReply CHelperService::Probe(const HelperRequest& request)
{
    if (!netconfig::IsCandidateAddress(request.address))
        return Refuse(EINVAL, "refused: " + netconfig::AddressText(request.address) +
                                  " is not a candidate address");
    netconfig::LinkInfo link;
    HelperReply refusal;
    if (!LanLink(request.ifIndex, link, refusal))
        return refusal;
    const int wait = int(std::min(request.value, netconfig::kMaximumArpWait));
    return ArpReply(netconfig::ProbeAddress(request.ifIndex, request.address, wait));
}

HelperReply CHelperService::Flush(const HelperRequest& request)
{
    netconfig::LinkInfo link;
    HelperReply refusal;
    if (!LanLink(request.ifIndex, link, refusal))
        return refusal;
    if (const int error = netconfig::FlushNeighbours(request.ifIndex); error < 0)
        return Refuse(-error, "cannot flush the ARP cache of " + link.name + ": " +
                                  netconfig::ErrorText(error));
    return HelperReply{};
}

void CHelperService::RenewDue(Clock::time_point now)
{
    if (std::none_of(m_added.begin(), m_added.end(),
                     [now](const SAdded& added) { return added.renewAt <= now; }))
        return;
    std::vector<netconfig::AddressInfo> present;
    if (netconfig::ListAddresses(present) < 0)
        return;
    for (auto it = m_added.begin(); it != m_added.end();) {
        if (it->renewAt > now) {
            ++it;
            continue;
        }
        if (!StillOurs(*it, now, present)) {
            it = m_added.erase(it);
            continue;
        }
        if (netconfig::AddAddress(it->ifIndex, it->address, it->prefixLength, it->lifetime,
                                  false) == 0)
            it->expiresAt = now + std::chrono::seconds(it->lifetime);
        it->renewAt = now + std::chrono::seconds(it->lifetime / 3);
        ++it;
    }
}

int CHelperService::MillisecondsToNextRenewal(Clock::time_point now) const
{
    if (m_added.empty())
        return -1;
    Clock::time_point next = m_added.front().renewAt;
    for (const SAdded& added : m_added)
        next = std::min(next, added.renewAt);
    if (next <= now)
        return 0;
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count()) + 1;
}

void CHelperService::DeleteAll(Clock::time_point now)
{
    std::vector<netconfig::AddressInfo> present;
    if (netconfig::ListAddresses(present) == 0) {
        for (const SAdded& added : m_added) {
            if (!StillOurs(added, now, present))
                continue;
            netconfig::DeleteHostRoute(added.ifIndex, added.device, added.address);
            netconfig::DeleteAddress(added.ifIndex, added.address, added.prefixLength);
        }
    }
    m_added.clear();
}

bool CHelperService::StillOurs(const SAdded& added, Clock::time_point now,
                               const std::vector<netconfig::AddressInfo>& present) const
{
    // The kernel may not have run its expiry yet: by our clock the address is gone.
    if (now >= added.expiresAt)
        return false;
    return std::any_of(present.begin(), present.end(), [&](const netconfig::AddressInfo& info) {
        return info.index == added.ifIndex && info.address == added.address &&
               info.prefixLength == added.prefixLength && info.createStamp == added.createStamp;
    });
}

bool CHelperService::TakeNetworkRequest(Clock::time_point now)
{
    if (m_tokensAt != Clock::time_point{} && now > m_tokensAt) {
        const double seconds = std::chrono::duration<double>(now - m_tokensAt).count();
        m_requestTokens =
            std::min(kNetworkRequestBurst, m_requestTokens + seconds * kNetworkRequestsPerSecond);
    }
    if (m_tokensAt == Clock::time_point{} || now > m_tokensAt)
        m_tokensAt = now;
    if (m_requestTokens < 1)
        return false;
    m_requestTokens -= 1;
    return true;
}
