#include "platform/netconfig_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace netconfig {
namespace {

using Clock = std::chrono::steady_clock;

// Slices of a wait, so that a cancel from another thread is seen soon.
constexpr int kWaitSliceMs = 100;

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

std::string FirstLine(std::string text)
{
    text.erase(0, text.find_first_not_of(" \r\n\t"));
    if (const auto end = text.find('\n'); end != std::string::npos)
        text.resize(end);
    return text;
}

} // namespace

bool IsTrustedProgram(const std::string& path, std::string& resolved, std::string& why)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        why = path + ": " + ErrnoText(errno);
        return false;
    }
    resolved = real;
    std::free(real);
    std::string part = resolved;
    for (bool file = true;; file = false) {
        struct stat info {
        };
        if (::lstat(part.c_str(), &info) != 0) {
            why = part + ": " + ErrnoText(errno);
            return false;
        }
        const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if (file && !S_ISREG(info.st_mode)) {
            why = part + " is not a regular file";
            return false;
        }
        if (info.st_uid != 0 ||
            (othersWrite && (file || !S_ISDIR(info.st_mode) || !(info.st_mode & S_ISVTX)))) {
            why = part + " is not root's alone: others could change what runs as root";
            return false;
        }
        if (part == "/")
            return true;
        const auto slash = part.find_last_of('/');
        part = slash == 0 ? std::string("/") : part.substr(0, slash);
    }
}

HelperClient::~HelperClient()
{
    Stop();
}

bool HelperClient::Start(const std::string& path, std::string& why)
{
    return Start(path, HelperLaunch::Direct, std::string(), kDirectHandshakeMs, why);
}

bool HelperClient::Start(const std::string& path, HelperLaunch launch, const std::string& launcher,
                         int handshakeMs, std::string& why)
{
    std::lock_guard lock(m_mutex);
    StopLocked();
    if (path.empty() || ::access(path.c_str(), X_OK) != 0) {
        why = m_problem = "the privileged helper " + std::string(kHelperProgramName) +
                          " was not found" + (path.empty() ? "" : " at " + path);
        return false;
    }
    const bool viaPkexec = launch == HelperLaunch::Pkexec;
    if (viaPkexec && ::access(launcher.c_str(), X_OK) != 0) {
        why = m_problem = "administrator authorization is not available: " + launcher +
                          " was not found (install pkexec)";
        return false;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) < 0) {
        why = m_problem = "no socket pair for the privileged helper: " + ErrnoText(errno);
        return false;
    }
    // pkexec says on stderr why it refused; the helper itself never writes there once running.
    int errorPipe[2] = {-1, -1};
    if (viaPkexec && ::pipe2(errorPipe, O_CLOEXEC) < 0) {
        why = m_problem = "no pipe for pkexec: " + ErrnoText(errno);
        ::close(pair[0]);
        ::close(pair[1]);
        return false;
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    // Without its own agent pkexec would prompt on a terminal the wizard may not even have.
    const char* noTerminalAgent = "--disable-internal-agent";
    char* const direct[] = {const_cast<char*>(path.c_str()), nullptr};
    char* const elevated[] = {const_cast<char*>(launcher.c_str()),
                              const_cast<char*>(noTerminalAgent), const_cast<char*>(path.c_str()),
                              nullptr};
    char* const* argv = viaPkexec ? elevated : direct;
    const pid_t pid = ::fork();
    if (pid < 0) {
        why = m_problem = "cannot start the privileged helper: " + ErrnoText(errno);
        for (const int fd : {pair[0], pair[1], errorPipe[0], errorPipe[1]})
            if (fd >= 0)
                ::close(fd);
        return false;
    }
    if (pid == 0) {
        // Its own process group: a Ctrl-C meant for the wizard must not kill the helper before
        // the wizard has removed its address through it.
        ::setpgid(0, 0);
        sigset_t all;
        sigemptyset(&all);
        ::sigprocmask(SIG_SETMASK, &all, nullptr);
        // Standard input, since pkexec closes every descriptor above 2.
        if (::dup2(pair[1], kHelperSocketFd) < 0)
            ::_exit(127);
        if (errorPipe[1] >= 0 && ::dup2(errorPipe[1], STDERR_FILENO) < 0)
            ::_exit(127);
        ::syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    ::close(pair[1]);
    if (errorPipe[1] >= 0) {
        ::close(errorPipe[1]);
        ::fcntl(errorPipe[0], F_SETFL, O_NONBLOCK);
    }
    m_fd = pair[0];
    m_errorFd = errorPipe[0];
    m_pid = pid;

    HelperRequest hello;
    hello.op = std::uint32_t(HelperOp::Hello);
    HelperReply reply;
    std::string failure;
    if (const EWait outcome = ExchangeLocked(hello, reply, handshakeMs, failure);
        outcome != EWait::Answered) {
        std::string launcherWhy;
        if (viaPkexec && outcome == EWait::TimedOut)
            launcherWhy = m_cancelled ? "the start of the privileged helper was interrupted"
                                      : "administrator authorization was not given in time";
        else if (viaPkexec)
            launcherWhy = LauncherFailureLocked();
        StopLocked();
        why = m_problem = launcherWhy.empty() ? failure + " (" + path + ")" : launcherWhy;
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
    if (m_errorFd >= 0) {
        ::close(m_errorFd);
        m_errorFd = -1;
    }
    m_privileged = true;
    m_problem.clear();
    return true;
}

// Why pkexec gave up, once it closed its end: from its exit status and what it wrote.
std::string HelperClient::LauncherFailureLocked()
{
    int status = 0;
    bool exited = false;
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < end) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            exited = true;
            m_pid = -1;
            break;
        }
        if (done < 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string said;
    if (m_errorFd >= 0) {
        char buffer[512];
        ssize_t length;
        while ((length = ::read(m_errorFd, buffer, sizeof buffer)) > 0 && said.size() < 2048)
            said.append(buffer, std::size_t(length));
    }
    said = FirstLine(said);
    if (!exited)
        return "pkexec closed the helper's socket without ending";
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string text;
    if (code == 126)
        text = "administrator authorization was refused or cancelled";
    else if (code == 127)
        text = "administrator authorization was not given (not authorized, or no "
               "authentication agent is running)";
    else
        text = "pkexec or the privileged helper ended at once (status " +
               std::to_string(code) + ")";
    return said.empty() ? text : text + ": " + said;
}

HelperClient::EWait HelperClient::ExchangeLocked(HelperRequest request, HelperReply& reply,
                                                 int timeoutMs, std::string& why)
{
    if (++m_sequence == 0)
        ++m_sequence;
    request.sequence = m_sequence;
    if (::send(m_fd, &request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request)) {
        why = "the privileged helper is gone (" + ErrnoText(errno) + ")";
        return EWait::Failed;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || m_cancelled) {
            m_abandoned[request.sequence] = request.op;
            why = m_cancelled ? "the wait for the privileged helper was interrupted"
                              : "the privileged helper does not answer";
            return EWait::TimedOut;
        }
        pollfd wait{m_fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, int(std::min<long long>(left.count(), kWaitSliceMs)));
        if (ready < 0 && errno != EINTR) {
            why = "cannot wait for the privileged helper: " + ErrnoText(errno);
            return EWait::Failed;
        }
        if (ready <= 0)
            continue;
        const ssize_t length = ::recv(m_fd, &reply, sizeof reply, MSG_TRUNC);
        if (length < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (length <= 0) {
            why = "the privileged helper ended";
            return EWait::Failed;
        }
        if (length != ssize_t(sizeof reply)) {
            why = "the privileged helper gave a malformed answer";
            return EWait::Failed;
        }
        reply.message[sizeof reply.message - 1] = '\0';
        if (reply.sequence == request.sequence)
            return EWait::Answered;
        DropLateAnswerLocked(reply);
    }
}

void HelperClient::DropLateAnswerLocked(const HelperReply& reply)
{
    const auto given = m_abandoned.find(reply.sequence);
    if (given == m_abandoned.end())
        return; // not ours to act on: dropped
    const std::uint32_t op = given->second;
    m_abandoned.erase(given);
    if (op != std::uint32_t(HelperOp::AddAddress) || reply.error != 0)
        return;
    // The address was added after all, but nobody knows it by its context: take it away
    // rather than let it stand for the rest of the run. Its answer is dropped like this one.
    HelperRequest undo;
    undo.op = std::uint32_t(HelperOp::DeleteAddress);
    undo.context = reply.context;
    if (++m_sequence == 0)
        ++m_sequence;
    undo.sequence = m_sequence;
    if (::send(m_fd, &undo, sizeof undo, MSG_NOSIGNAL) == ssize_t(sizeof undo))
        m_abandoned[undo.sequence] = undo.op;
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
    switch (ExchangeLocked(request, reply, timeoutMs, why)) {
    case EWait::Answered:
        return true;
    case EWait::TimedOut:
        // One slow answer does not end the conversation: it is recognised and dropped when it
        // comes.
        return false;
    case EWait::Failed:
        break;
    }
    StopLocked();
    m_problem = why;
    return false;
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
    if (m_errorFd >= 0) {
        ::close(m_errorFd);
        m_errorFd = -1;
    }
    if (m_pid > 0) {
        // A pkexec still waiting for the password does not read the socket.
        if (!m_privileged)
            ::kill(m_pid, SIGTERM);
        const auto end = Clock::now() + std::chrono::seconds(3);
        while (::waitpid(m_pid, nullptr, WNOHANG) == 0 && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_pid = -1;
    }
    m_privileged = false;
    m_abandoned.clear();
}

} // namespace netconfig
