#include "session/shutdownsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_previous[3];

void OnSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a pending shutdown: nothing is lost.
    if (g_writeFd >= 0 && ::write(g_writeFd, &byte, 1) < 0)
        errno = saved;
    errno = saved;
}

} // namespace

CShutdownSignals::CShutdownSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (g_writeFd >= 0 || ::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CShutdownSignals::OnPipeReadable);
    g_writeFd = m_pipe[1];
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    m_installed = true;
}

CShutdownSignals::~CShutdownSignals()
{
    if (m_installed) {
        for (int i = 0; i < 3; ++i)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
        g_writeFd = -1;
    }
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void CShutdownSignals::OnPipeReadable()
{
    unsigned char byte = 0;
    while (::read(m_pipe[0], &byte, 1) == 1) {
        if (m_onSignal)
            m_onSignal(byte);
    }
}
