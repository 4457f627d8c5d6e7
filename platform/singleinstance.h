#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;

// One running program per user: a lock file in the user's runtime directory stands in for a
// named system mutex. The lock is held for as long as this object lives. Beside it, a local
// socket by which a later start asks the running program to come to the front; only a process
// of the same user is heard, and a later start talks only to a socket of its own user.
class CSingleInstance
{
public:
    explicit CSingleInstance(const QString& name);
    ~CSingleInstance();

    // False when another live process holds the lock.
    bool IsFirst() const { return m_first; }

    // First start: calls `raise` with each later start's activation token (possibly empty).
    // Needs the application's event loop. False when the socket cannot be made.
    bool ListenForLaterStarts(std::function<void(const QByteArray& token)> raise);
    // Later start: hands the running program this start's activation token, without an event
    // loop; false when no program of this user answers at the socket.
    bool AskFirstToRaise(const QByteArray& token, int timeoutMs = 2000) const;

    // The token a desktop hands a program it launches, for the window that comes to the front:
    // Wayland's activation token, else the X11 startup id. Read before the GUI starts: the
    // platform takes the startup id out of the environment.
    static QByteArray ActivationToken();

    // What a later start sends: the request line, and what the running program accepts of it
    // (nullopt for anything but one well-formed request).
    static QByteArray RaiseRequest(const QByteArray& token);
    static std::optional<QByteArray> ParseRaiseRequest(const QByteArray& bytes);
    // Longest request line accepted; activation tokens and startup ids are far shorter.
    static constexpr qsizetype kMaxRequest = 512;

    QString SocketPath() const { return m_socketPath; }

private:
    std::unique_ptr<QLockFile> m_lock;
    // The application's child: it goes with the event loop it needs, whichever ends first.
    QPointer<QLocalServer> m_server;
    QString m_socketPath;
    bool m_first = false;
};
