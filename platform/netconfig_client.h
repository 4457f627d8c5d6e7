#pragma once

#include "platform/netconfig_protocol.h"

#include <mutex>
#include <string>
#include <sys/types.h>

namespace netconfig {

// The wizard's end of kelda-netconfig-helper: starts it over a socket pair and carries one
// request at a time. The helper lives exactly as long as this end of the socket stays open.
class HelperClient {
public:
    HelperClient() = default;
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;
    ~HelperClient();

    // false with the reason in why: not found, could not start, wrong version, no privileges.
    bool Start(const std::string& path, std::string& why);
    // Running and holding the privileges it needs.
    bool Usable() const;
    // Why it is not usable; empty when it is.
    std::string Problem() const;
    pid_t Pid() const;

    // false when the helper cannot be reached; it is then given up for good.
    bool Call(const HelperRequest& request, HelperReply& reply, int timeoutMs, std::string& why);
    void Stop();

private:
    void StopLocked();

    mutable std::mutex m_mutex;
    int m_fd = -1;
    pid_t m_pid = -1;
    bool m_privileged = false;
    std::string m_problem = "the privileged helper was not started";
};

} // namespace netconfig
