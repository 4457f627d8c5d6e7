#include "platform/netconfig_client.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace netconfig {
namespace {

bool ExchangeLocked(int fd, const HelperRequest& request, HelperReply& reply, int timeoutMs,
                    std::string& why)
{
    if (::send(fd, &request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request)) {
        why = "the privileged helper is gone (" + std::string(std::strerror(errno)) + ")";
        return false;
    }
    pollfd wait{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&wait, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        why = "the privileged helper does not answer";
        return false;
    }
    const ssize_t length = ::recv(fd, &reply, sizeof reply, MSG_TRUNC);
    if (length == 0) {
        why = "the privileged helper ended";
        return false;
    }
    if (length != ssize_t(sizeof reply)) {
        why = "the privileged helper gave a malformed answer";
        return false;
    }
    reply.message[sizeof reply.message - 1] = '\0';
    return true;
}

} // namespace

HelperClient::~HelperClient()
{
    Stop();
}

bool HelperClient::Start(const std::string& path, std::string& why)
{
    std::lock_guard lock(m_mutex);
    StopLocked();
    if (path.empty() || ::access(path.c_str(), X_OK) != 0) {
        why = m_problem = "the privileged helper " + std::string(kHelperProgramName) +
                          " was not found" + (path.empty() ? "" : " at " + path);
        return false;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) < 0) {
        why = m_problem = "no socket pair for the privileged helper: " +
                          std::string(std::strerror(errno));
        return false;
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const pid_t pid = ::fork();
    if (pid < 0) {
        why = m_problem = "cannot start the privileged helper: " + std::string(std::strerror(errno));
        ::close(pair[0]);
        ::close(pair[1]);
        return false;
    }
    if (pid == 0) {
        // Its own process group: a Ctrl-C meant for the wizard must not kill the helper before
        // the wizard has removed its address through it.
        ::setpgid(0, 0);
        sigset_t all;
        sigemptyset(&all);
        ::sigprocmask(SIG_SETMASK, &all, nullptr);
        if (pair[1] == kHelperSocketFd)
            ::fcntl(kHelperSocketFd, F_SETFD, 0);
        else if (::dup2(pair[1], kHelperSocketFd) < 0)
            ::_exit(127);
        ::syscall(SYS_close_range, kHelperSocketFd + 1, ~0U, 0);
        ::execv(path.c_str(), argv);
        ::_exit(127);
    }
    ::close(pair[1]);
    m_fd = pair[0];
    m_pid = pid;

    HelperRequest hello;
    hello.op = std::uint32_t(HelperOp::Hello);
    HelperReply reply;
    std::string failure;
    if (!ExchangeLocked(m_fd, hello, reply, 5000, failure)) {
        StopLocked();
        why = m_problem = failure + " (" + path + ")";
        return false;
    }
    if (reply.context != kHelperProtocolVersion) {
        StopLocked();
        why = m_problem = "the privileged helper at " + path + " speaks another protocol version";
        return false;
    }
    if (reply.error != 0) {
        // Without its privileges it could only refuse: not worth keeping around.
        StopLocked();
        why = m_problem = reply.message[0] ? std::string(reply.message)
                                           : "the privileged helper lacks its privileges";
        return false;
    }
    m_privileged = true;
    m_problem.clear();
    return true;
}

bool HelperClient::Usable() const
{
    std::lock_guard lock(m_mutex);
    return m_fd >= 0 && m_privileged;
}

std::string HelperClient::Problem() const
{
    std::lock_guard lock(m_mutex);
    return m_problem;
}

pid_t HelperClient::Pid() const
{
    std::lock_guard lock(m_mutex);
    return m_pid;
}

bool HelperClient::Call(const HelperRequest& request, HelperReply& reply, int timeoutMs,
                        std::string& why)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        why = m_problem;
        return false;
    }
    if (!ExchangeLocked(m_fd, request, reply, timeoutMs, why)) {
        // A late answer would be taken for the next one: this conversation is over.
        StopLocked();
        m_problem = why;
        return false;
    }
    return true;
}

void HelperClient::Stop()
{
    std::lock_guard lock(m_mutex);
    StopLocked();
}

void HelperClient::StopLocked()
{
    if (m_fd >= 0) {
        // Closing our end is the helper's signal to remove its addresses and end.
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_pid > 0) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (::waitpid(m_pid, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_pid = -1;
    }
    m_privileged = false;
}

} // namespace netconfig
