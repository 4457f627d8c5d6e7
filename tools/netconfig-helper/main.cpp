// kelda-netconfig-helper: the privileged half of the wizard's network configuration. The wizard
// starts it (through pkexec, or directly when it runs as root) with one end of a socket pair as
// standard input; it serves that one wizard until the socket closes, however the wizard ended,
// and then removes every address it added and ends.

#include "tools/netconfig-helper/confinement.h"
#include "tools/netconfig-helper/helperservice.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

// A connected local SOCK_SEQPACKET socket: what the wizard hands over, and nothing a user
// could start the helper with from a shell by accident.
bool IsOurSocket(int fd)
{
    int type = 0;
    int domain = 0;
    socklen_t length = sizeof type;
    socklen_t domainLength = sizeof domain;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_SEQPACKET &&
           ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &domainLength) == 0 &&
           domain == AF_UNIX &&
           ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0;
}

} // namespace

int main()
{
    const int fd = netconfig::kHelperSocketFd;
    if (!IsOurSocket(fd)) {
        std::fprintf(stderr, "%s: only the Kelda Support Utility starts this program\n",
                     netconfig::kHelperProgramName);
        return 2;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    // Nothing of the caller's environment steers a process that runs as root; nothing here
    // reads it, and no child is started, but the libraries we link might.
    ::clearenv();
    if (::chdir("/") != 0)
        return 2;
    bool privileged = false;
    std::string why;
    if (!DropPrivileges(privileged, why)) {
        std::fprintf(stderr, "%s: %s\n", netconfig::kHelperProgramName, why.c_str());
        return 2;
    }

    // The stop signals are taken only inside ppoll, so none is lost between two checks.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, signal);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask;
    sigprocmask(SIG_SETMASK, nullptr, &waitMask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigdelset(&waitMask, signal);

    CHelperService service(privileged);
    if (!InstallSystemCallFilter(why)) {
        std::fprintf(stderr, "%s: %s\n", netconfig::kHelperProgramName, why.c_str());
        return 2;
    }
    while (!g_stop) {
        const int waitMs = service.MillisecondsToNextRenewal(CHelperService::Clock::now());
        timespec timeout{waitMs / 1000, (waitMs % 1000) * 1000000L};
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::ppoll(&wait, 1, waitMs < 0 ? nullptr : &timeout, &waitMask);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            netconfig::HelperRequest request;
            const ssize_t length = ::recv(fd, &request, sizeof request, MSG_TRUNC);
            if (length == 0 || (length < 0 && errno != EINTR && errno != EAGAIN))
                break; // the wizard is gone
            if (length > 0) {
                netconfig::HelperReply reply;
                if (length == ssize_t(sizeof request)) {
                    reply = service.Handle(request);
                    reply.sequence = request.sequence;
                } else {
                    reply.error = EINVAL;
                    netconfig::SetReplyMessage(reply, "refused: malformed request");
                }
                if (::send(fd, &reply, sizeof reply, MSG_NOSIGNAL) < 0 && errno == EPIPE)
                    break;
            }
        }
        service.RenewDue(CHelperService::Clock::now());
    }
    service.DeleteAll();
    return 0;
}
