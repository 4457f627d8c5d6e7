#pragma once

#include "session/requeststream.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

// A non-blocking TCP client socket whose connect, receive and close notifications arrive on
// the thread that owns it, as the session's state machine expects: connect once the
// handshake has ended (error 0, or a negative errno value), receive while data waits (the
// handler must read), close when the peer ends the connection (error 0) or resets it (its
// negative errno value).
class CAsyncTcpSocket : public QObject {
    Q_OBJECT
public:
    explicit CAsyncTcpSocket(QObject* parent = nullptr);
    ~CAsyncTcpSocket() override;

    std::function<void(int error)> onConnect;
    std::function<void()> onReceive;
    std::function<void(int error)> onClose;
    // A source given to SendFrom failed: the connection has been reset.
    std::function<void()> onSendFailed;

    // Addresses are IPv4 in network byte order; results 0 or a negative errno value.
    // A stream socket bound to the local address (0: any).
    [[nodiscard]] int Create(quint32 localAddress);
    // Starts connecting; a failure reported at once gives no notification at all.
    int Connect(quint32 address, quint16 port);
    // At most size bytes; 0 when nothing waits, -1 on an error.
    qsizetype Receive(char* buffer, qsizetype size);
    // Queues all the bytes; they go out as fast as the peer takes them.
    void Send(const QByteArray& bytes);
    // Sends what `source` yields, `total` bytes in all, asking for each chunk only once the
    // system has taken the one before, so no more than a chunk is held here. A source that
    // fails resets the connection, so that nothing after it reaches the peer; onSendFailed
    // follows from the event loop.
    void SendFrom(std::function<EChunk(QByteArray& chunk)> source, qint64 total);
    QString PeerAddress() const;
    void Close();
    // Closes with a reset: whatever the kernel still holds for the peer is thrown away.
    void Abort();

    bool IsOpen() const { return m_fd >= 0; }
    qsizetype UnsentBytes() const { return m_out.size() - m_outOffset + m_sourceLeft; }
    // Bytes sent but not yet taken by the peer: those still queued here or to come from the
    // source, and those the system holds unacknowledged. 0 once the peer has everything (or
    // there is no connection).
    qsizetype PendingBytes() const;

private:
    void OnReadable();
    void OnWritable();
    void FinishConnect(int error);
    void FlushOutput();
    // Takes the source's next chunk into the output; false when there is none to send.
    bool NextChunk();
    void StopNotifiers();

    int m_fd = -1;
    bool m_connecting = false;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_out;
    qsizetype m_outOffset = 0;
    std::function<EChunk(QByteArray& chunk)> m_source;
    qsizetype m_sourceLeft = 0;
    // Tells a notification meant for an earlier connection from one for this one.
    quint64 m_connection = 0;
};
