#include "session/asyncsocket.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

CAsyncTcpSocket::CAsyncTcpSocket(QObject* parent) : QObject(parent) {}

CAsyncTcpSocket::~CAsyncTcpSocket()
{
    Close();
}

int CAsyncTcpSocket::Create(quint32 localAddress)
{
    Close();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = localAddress;
    ++m_connection;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return -errno;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        return -error;
    }
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CAsyncTcpSocket::OnReadable);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CAsyncTcpSocket::OnWritable);
    return 0;
}

int CAsyncTcpSocket::Connect(quint32 address, quint16 port)
{
    if (m_fd < 0)
        return -EBADF;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        // Done already; still reported from the event loop, like every other notification.
        const int fd = m_fd;
        QTimer::singleShot(0, this, [this, fd] {
            if (m_fd == fd && m_connecting)
                FinishConnect(0);
        });
        m_connecting = true;
        return 0;
    }
    if (errno != EINPROGRESS)
        return -errno;
    m_connecting = true;
    m_writeNotifier->setEnabled(true);
    return 0;
}

qsizetype CAsyncTcpSocket::Receive(char* buffer, qsizetype size)
{
    if (m_fd < 0)
        return -1;
    const ssize_t length = ::recv(m_fd, buffer, size_t(size), 0);
    if (length < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    return length;
}

void CAsyncTcpSocket::Send(const QByteArray& bytes)
{
    // Nothing goes out before the handshake ends, nor after the connection has ended.
    if (m_fd < 0 || m_connecting || !m_writeNotifier)
        return;
    if (m_outOffset == m_out.size()) {
        m_out = bytes;
        m_outOffset = 0;
    } else {
        m_out.append(bytes);
    }
    FlushOutput();
}

void CAsyncTcpSocket::SendFrom(std::function<EChunk(QByteArray& chunk)> source, qint64 total)
{
    if (m_fd < 0 || m_connecting || !m_writeNotifier)
        return;
    m_source = std::move(source);
    m_sourceLeft = qsizetype(total);
    // After whatever Send queued before.
    if (m_outOffset == m_out.size() && !NextChunk())
        return;
    FlushOutput();
}

bool CAsyncTcpSocket::NextChunk()
{
    if (!m_source)
        return false;
    m_outOffset = 0;
    // The chunk goes into the output's own buffer, which it reuses.
    switch (m_source(m_out)) {
    case EChunk::Data:
        m_sourceLeft = std::max<qsizetype>(m_sourceLeft - m_out.size(), 0);
        return true;
    case EChunk::End:
        break;
    case EChunk::Failed: {
        Abort();
        const quint64 connection = m_connection;
        QTimer::singleShot(0, this, [this, connection] {
            if (m_connection == connection && onSendFailed)
                onSendFailed();
        });
        return false;
    }
    }
    m_source = nullptr;
    m_sourceLeft = 0;
    m_out.clear();
    return false;
}

qsizetype CAsyncTcpSocket::PendingBytes() const
{
    if (m_fd < 0)
        return 0;
    int queued = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &queued) < 0 || queued < 0)
        queued = 0;
    return UnsentBytes() + queued;
}

QString CAsyncTcpSocket::PeerAddress() const
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (m_fd < 0 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &length) < 0 ||
        peer.sin_family != AF_INET)
        return QString();
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

void CAsyncTcpSocket::Close()
{
    StopNotifiers();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_connecting = false;
    m_out.clear();
    m_outOffset = 0;
    m_source = nullptr;
    m_sourceLeft = 0;
}

void CAsyncTcpSocket::Abort()
{
    if (m_fd >= 0) {
        const linger now{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    Close();
}

void CAsyncTcpSocket::OnReadable()
{
    char probe;
    const ssize_t length = ::recv(m_fd, &probe, 1, MSG_PEEK);
    if (length > 0) {
        if (onReceive)
            onReceive();
        return;
    }
    if (length < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    const int error = length == 0 ? 0 : -errno;
    // The socket stays open until the next connect; it just has nothing more to say.
    StopNotifiers();
    m_out.clear();
    m_outOffset = 0;
    m_source = nullptr;
    m_sourceLeft = 0;
    if (onClose)
        onClose(error);
}

void CAsyncTcpSocket::OnWritable()
{
    if (m_connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
            error = errno;
        FinishConnect(-error);
        return;
    }
    FlushOutput();
}

void CAsyncTcpSocket::FinishConnect(int error)
{
    m_connecting = false;
    m_writeNotifier->setEnabled(false);
    if (error == 0)
        m_readNotifier->setEnabled(true);
    if (onConnect)
        onConnect(error);
}

void CAsyncTcpSocket::FlushOutput()
{
    while (m_outOffset < m_out.size() || NextChunk()) {
        const ssize_t sent = ::send(m_fd, m_out.constData() + m_outOffset,
                                    size_t(m_out.size() - m_outOffset), MSG_NOSIGNAL);
        if (sent > 0) {
            m_outOffset += sent;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && m_writeNotifier) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        // Broken connection: the read side reports how it ended.
        m_source = nullptr;
        m_sourceLeft = 0;
        break;
    }
    if (m_fd < 0)
        return; // reset after a failed source
    m_out.clear();
    m_outOffset = 0;
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void CAsyncTcpSocket::StopNotifiers()
{
    for (QSocketNotifier** notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->disconnect(this);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}
