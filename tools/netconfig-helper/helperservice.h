#pragma once

#include "platform/netconfig_netlink.h"
#include "platform/netconfig_protocol.h"

#include <chrono>
#include <cstdint>
#include <vector>

// The requests kelda-netconfig-helper serves, and the addresses it added. It does only what
// the wizard may ask: addresses .241 to .247 of private subnets on LAN adapters, deleting those
// again, ARP requests from the adapter's own addresses, probes, and the neighbour flush.
class CHelperService {
public:
    using Clock = std::chrono::steady_clock;

    explicit CHelperService(bool privileged) : m_privileged(privileged) {}

    netconfig::HelperReply Handle(const netconfig::HelperRequest& request);
    netconfig::HelperReply Handle(const netconfig::HelperRequest& request, Clock::time_point now);

    // Pushes the lifetimes of our addresses forward while the wizard runs; forgets those that
    // somebody else removed (renewing would bring them back) and those whose lifetime ran out
    // while we were held up (what stands there now is somebody else's).
    void RenewDue(Clock::time_point now);
    // Milliseconds until the next renewal; -1 when nothing is due.
    int MillisecondsToNextRenewal(Clock::time_point now) const;
    void DeleteAll(Clock::time_point now = Clock::now());
    std::size_t AddressCount() const { return m_added.size(); }

private:
    struct SAdded {
        std::uint32_t context;
        std::uint32_t ifIndex;
        std::uint32_t address;
        std::uint8_t prefixLength;
        std::uint32_t device;
        std::uint32_t lifetime;
        std::uint32_t createStamp;
        Clock::time_point renewAt;
        Clock::time_point expiresAt;
    };

    // ARP requests, probes and flushes: a burst as a whole connect needs, then a steady rate.
    static constexpr double kNetworkRequestBurst = 40;
    static constexpr double kNetworkRequestsPerSecond = 10;

    netconfig::HelperReply Add(const netconfig::HelperRequest& request, Clock::time_point now);
    netconfig::HelperReply Delete(const netconfig::HelperRequest& request, Clock::time_point now);
    netconfig::HelperReply Resolve(const netconfig::HelperRequest& request);
    netconfig::HelperReply Probe(const netconfig::HelperRequest& request);
    netconfig::HelperReply Flush(const netconfig::HelperRequest& request);

    bool TakeNetworkRequest(Clock::time_point now);
    // Still the very address we added: present, created when we created it, not run out.
    bool StillOurs(const SAdded& added, Clock::time_point now,
                   const std::vector<netconfig::AddressInfo>& present) const;

    bool m_privileged;
    std::uint32_t m_nextContext = 1;
    double m_requestTokens = kNetworkRequestBurst;
    Clock::time_point m_tokensAt{};
    std::vector<SAdded> m_added;
};
