#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

constexpr QByteArrayView kRequestWord = "RAISE";
// A later start that connects and says nothing is not waited for.
constexpr int kRequestTimeoutMs = 2000;

// The peer of a connected local socket runs as this user.
bool PeerIsUs(int fd)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::geteuid();
}

bool WriteAll(int fd, const QByteArray& bytes, int timeoutMs)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0)
            return false;
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        sent += n > 0 ? n : 0;
    }
    return true;
}

// Printable ASCII without spaces: what desktops put in activation tokens and startup ids.
bool IsTokenCharacter(char c)
{
    return c > ' ' && c < 0x7F;
}

} // namespace

CSingleInstance::CSingleInstance(const QString& name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_lock = std::make_unique<QLockFile>(dir + u'/' + name);
    m_socketPath = dir + u'/' + name + u".socket"_qs;
    // Only a lock whose process has died is stale; a long-running first instance keeps it.
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

CSingleInstance::~CSingleInstance()
{
    delete m_server;
}

QByteArray CSingleInstance::ActivationToken()
{
    const QByteArray wayland = qgetenv("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qgetenv("DESKTOP_STARTUP_ID") : wayland;
}

QByteArray CSingleInstance::RaiseRequest(const QByteArray& token)
{
    QByteArray request = kRequestWord.toByteArray();
    if (!token.isEmpty())
        request += ' ' + token;
    return request + '\n';
}

std::optional<QByteArray> CSingleInstance::ParseRaiseRequest(const QByteArray& bytes)
{
    if (bytes.size() > kMaxRequest || !bytes.endsWith('\n'))
        return std::nullopt;
    const QByteArray line = bytes.chopped(1);
    if (!line.startsWith(kRequestWord))
        return std::nullopt;
    const QByteArray rest = line.mid(kRequestWord.size());
    if (rest.isEmpty())
        return QByteArray();
    if (rest.size() < 2 || rest[0] != ' ')
        return std::nullopt;
    const QByteArray token = rest.mid(1);
    for (const char c : token) {
        if (!IsTokenCharacter(c))
            return std::nullopt;
    }
    return token;
}

bool CSingleInstance::ListenForLaterStarts(std::function<void(const QByteArray& token)> raise)
{
    if (!m_first)
        return false;
    delete m_server;
    m_server = new QLocalServer(QCoreApplication::instance());
    // Whatever stands at the path was left by a first start that died: the lock is ours now.
    QLocalServer::removeServer(m_socketPath);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        delete m_server;
        return false;
    }
    QLocalServer* server = m_server;
    QObject::connect(server, &QLocalServer::newConnection, server, [server, raise] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!PeerIsUs(int(socket->socketDescriptor()))) {
                socket->abort();
                continue;
            }
            QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
            auto received = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, raise, received] {
                received->append(socket->read(kMaxRequest + 1 - received->size()));
                if (!received->contains('\n') && received->size() <= kMaxRequest)
                    return;
                // One request a connection; what follows it is not read.
                socket->abort();
                if (const std::optional<QByteArray> token = ParseRaiseRequest(*received))
                    raise(*token);
            });
        }
    });
    return true;
}

bool CSingleInstance::AskFirstToRaise(const QByteArray& token, int timeoutMs) const
{
    // The socket must be one this user made; a path another user put there is not talked to.
    struct stat status {
    };
    const QByteArray path = QFile::encodeName(m_socketPath);
    if (::lstat(path.constData(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
        status.st_uid != ::geteuid())
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool sent =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        PeerIsUs(fd) && WriteAll(fd, RaiseRequest(token), timeoutMs);
    ::close(fd);
    return sent;
}
