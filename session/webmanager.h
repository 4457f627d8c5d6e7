#pragma once

#include "session/routeprep.h"
#include "session/webdata.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class CAsyncTcpSocket;
class CRouteWorker;
class CShutdownSignals;
class INetConfig;

// The HTTP session with the device: the command queue, its pump (timer 9999), the session
// socket, and the route to the device. Lives on the user-interface thread.
class CWEBManager : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kQueueTimer = 9999;
    static constexpr quint16 kDevicePort = 80;
    static constexpr qsizetype kReceiveBlock = 10239;

    // The system's network configuration (it starts the privileged helper), and the shutdown
    // signals.
    explicit CWEBManager(QObject* owner);
    CWEBManager(QObject* owner, std::shared_ptr<INetConfig> net);
    ~CWEBManager() override;

    // An upload's request leaves out the file: its nFileSize bytes go in at nFileOffset.
    void AddCommand(const QString& strID, const QString& strData, const QString& strAPIP,
                    const QString& strAPSubnet, const QString& strFileName = QString(),
                    qsizetype nFileOffset = -1, qint64 nFileSize = -1);
    // Oldest finished command of that console: its keyword, result code and response; empty
    // when none.
    QString TakeResult(std::uint32_t console, qint32& dwResult, QString& strData);
    // The console that queues from now on. Whatever another console left, queued or finished,
    // is dropped: its answers belong to a device the user has left.
    void SetConsole(std::uint32_t console);
    // Closes the socket, forgets the local address, removes a temporary adapter address,
    // empties both command lists.
    void ReleaseRoute();
    // The user has left: a request still on its way is cut off with a reset, so that none of
    // it reaches the device afterwards.
    void AbandonRequest();

    // One tick of timer 9999.
    void Pump();
    bool ConnectDevice(const QString& address);

    int ConnectionState() const { return m_nConnectState; }
    const SAdapterDetails& Adapter() const { return m_adapter; }
    bool RouteWorkerRunning() const { return m_worker != nullptr; }
    INetConfig& NetConfig() const { return *m_net; }

    // A response longer than this (in characters) ends its command with result 6.
    static void SetResponseLimitForTest(qsizetype characters);

signals:
    // SIGINT, SIGTERM or SIGHUP arrived. Without a receiver the session releases its route and
    // ends the event loops itself.
    void shutdownSignal(int signal);

private:
    struct SSystemParts {
        std::unique_ptr<CShutdownSignals> shutdown;
        std::shared_ptr<INetConfig> net;
    };
    // In this order: a signal that came after the helper started and before the handlers were
    // in place would end the program without its clean-up.
    static SSystemParts CatchSignalsThenStartNet(CWEBManager* self);
    CWEBManager(QObject* owner, SSystemParts parts);

    void OnConnect(int error);
    void OnReceive();
    void OnClose(int error);
    // Uses up the record's request text.
    void SendRequest(_STRU_WEB_DATA& record);
    // The file goes from the disk to the socket a chunk at a time.
    void SendUpload(_STRU_WEB_DATA& record);
    void OnSendFailed();
    // When the device has taken more of the request since the last look: the tick its answer's
    // time counts from (this look while bytes remain, the previous one once all are gone).
    // 0 when nothing moved.
    std::uint32_t RequestProgress(std::uint32_t now);
    void StartRouteWorker(const _STRU_WEB_DATA& record);
    void CollectRouteWorker();
    void StopRouteWorker();
    // A preparation past its 100 s: its command ends as unreachable at once, and the worker
    // is told to stop at its next wait.
    void EndOverduePreparation();
    // Whether the socket carries an exchange that has not ended.
    bool ExchangeUnfinished() const;

    // 0 idle or closed, 1 connecting, 2 connected.
    int m_nConnectState = 0;
    SAdapterDetails m_adapter;
    QObject* m_owner = nullptr;
    // Of the request last sent, what the device had not yet taken at the last look.
    qsizetype m_pendingBytes = 0;
    std::uint32_t m_lastLookTick = 0;

    std::shared_ptr<INetConfig> m_net;
    CAsyncTcpSocket* m_socket = nullptr;
    std::unique_ptr<CRouteWorker> m_worker;
    std::uint32_t m_workerStartTick = 0;
    bool m_workerOverdue = false;
    CShutdownSignals* m_signals = nullptr;
    // The console that queues now, and that of the command the route worker prepares for.
    std::uint32_t m_console = 0;
    std::uint32_t m_workerConsole = 0;
};

enum class EReceiveOutcome { Discarded, Appended, TooLong };

// Adds one received block to the head command's response, up to the block's first zero byte:
// only when it comes from the head's device while that command waits for its answer. A
// response that would pass `limit` characters ends the command with result 6 instead.
EReceiveOutcome AppendResponseBlock(QList<_STRU_WEB_DATA>& queue, QStringView peer,
                                    QByteArrayView block, qsizetype limit);

// Timer procedure of timer 9999: advances the head of the command queue by one step.
void PumpQueue(unsigned timerId);

// The request pipeline, owned by the frame; null while it does not exist.
extern CWEBManager* G_pWEBManager;
