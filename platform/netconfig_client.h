#pragma once

#include "platform/netconfig_protocol.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace netconfig {

// How the helper gets its privileges: as a child of a root wizard it has them already; for an
// ordinary user pkexec asks the desktop's authentication agent first.
enum class HelperLaunch { Direct, Pkexec };

inline constexpr int kDirectHandshakeMs = 5000;
// The user may still be typing the password; the route preparation allows 100 s in all.
inline constexpr int kPkexecHandshakeMs = 60000;

// May this program run with root's authority? Only when root owns it and every folder above it
// and nobody else can write to any of them (a sticky folder such as /tmp keeps others from
// replacing root's entries). resolved is the path without links, the one to start.
bool IsTrustedProgram(const std::string& path, std::string& resolved, std::string& why);

// The wizard's end of kelda-netconfig-helper: starts it over a socket pair and carries one
// request at a time. The helper lives exactly as long as this end of the socket stays open.
class HelperClient {
public:
    HelperClient() = default;
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;
    ~HelperClient();

    // false with the reason in why: not found, could not start, authorization refused, wrong
    // version, no privileges. launcher is the pkexec program for HelperLaunch::Pkexec.
    bool Start(const std::string& path, std::string& why);
    bool Start(const std::string& path, HelperLaunch launch, const std::string& launcher,
               int handshakeMs, std::string& why);
    // Running and holding the privileges it needs.
    bool Usable() const;
    // Why it is not usable; empty when it is.
    std::string Problem() const;
    pid_t Pid() const;

    // false when the helper did not answer in time (the channel stays open and its late answer
    // is dropped) or has ended (then it is stopped).
    bool Call(const HelperRequest& request, HelperReply& reply, int timeoutMs, std::string& why);
    void Stop();
    // Ends a start-up that waits for the user's password, from another thread.
    void Cancel(bool cancelled) { m_cancelled = cancelled; }

private:
    enum class EWait { Answered, TimedOut, Failed };
    EWait ExchangeLocked(HelperRequest request, HelperReply& reply, int timeoutMs,
                         std::string& why);
    void DropLateAnswerLocked(const HelperReply& reply);
    std::string LauncherFailureLocked();
    void StopLocked();

    mutable std::mutex m_mutex;
    int m_fd = -1;
    int m_errorFd = -1; // the launcher's stderr, read when the start fails
    pid_t m_pid = -1;
    bool m_privileged = false;
    std::uint32_t m_sequence = 0;
    // Requests given up on, by sequence number: op, so a late successful add can be undone.
    std::map<std::uint32_t, std::uint32_t> m_abandoned;
    std::atomic<bool> m_cancelled{false};
    std::string m_problem = "the privileged helper was not started";
};

} // namespace netconfig
