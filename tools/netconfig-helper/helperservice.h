#pragma once

#include "platform/netconfig_protocol.h"

#include <chrono>
#include <cstdint>
#include <vector>

// The requests kelda-netconfig-helper serves, and the addresses it added. It does only what
// the wizard may ask: addresses .241 to .247 on Ethernet or 802.11 adapters, deleting those
// again, ARP requests from the adapter's own addresses, probes, and the neighbour flush.
class CHelperService {
public:
    using Clock = std::chrono::steady_clock;

    explicit CHelperService(bool privileged) : m_privileged(privileged) {}

    netconfig::HelperReply Handle(const netconfig::HelperRequest& request);

    // Pushes the lifetimes of our addresses forward while the wizard runs; forgets those that
    // somebody else removed (renewing would bring them back).
    void RenewDue(Clock::time_point now);
    // Milliseconds until the next renewal; -1 when nothing is due.
    int MillisecondsToNextRenewal(Clock::time_point now) const;
    void DeleteAll();
    std::size_t AddressCount() const { return m_added.size(); }

private:
    struct SAdded {
        std::uint32_t context;
        std::uint32_t ifIndex;
        std::uint32_t address;
        std::uint8_t prefixLength;
        std::uint32_t lifetime;
        Clock::time_point renewAt;
    };

    netconfig::HelperReply Add(const netconfig::HelperRequest& request);
    netconfig::HelperReply Delete(const netconfig::HelperRequest& request);
    netconfig::HelperReply Resolve(const netconfig::HelperRequest& request);
    netconfig::HelperReply Probe(const netconfig::HelperRequest& request);
    netconfig::HelperReply Flush(const netconfig::HelperRequest& request);

    bool m_privileged;
    std::uint32_t m_nextContext = 1;
    std::vector<SAdded> m_added;
};
