#include "session/webmanager.h"

#include "platform/codepage.h"
#include "platform/diaglog.h"
#include "platform/netconfig.h"
#include "platform/tickcount.h"
#include "platform/windowtimers.h"
#include "session/asyncsocket.h"
#include "session/routeworker.h"
#include "session/sessionvalues.h"
#include "session/shutdownsignals.h"

#include <QCoreApplication>
#include <QMetaMethod>

#include <algorithm>

CWEBManager* G_pWEBManager = nullptr;

QList<_STRU_WEB_DATA> G_mWebQueue;
QList<_STRU_WEB_DATA> G_mWebDone;
QString G_mstrLocalIP;

namespace {

// Far above any page the device serves; a peer that streams without end stops here.
qsizetype g_responseLimit = qsizetype(64) * 1024 * 1024;

constexpr qsizetype kAddCommandLogBytes = 1024;

// 0 marks a step that has not started, so a step never starts at tick 0.
std::uint32_t StartTick()
{
    const std::uint32_t now = GetTickCount();
    return now ? now : 1;
}

bool IsFinal(qint32 state)
{
    return state >= kWebClosed && state <= kWebUnreachable;
}

bool IsAwaitingAnswer(qint32 state)
{
    return state == kWebConnected || state == kWebReceiving;
}

// A command ends. Until it was sent its text is its own request, which is no answer of the
// device's: a page must never read it as one.
void EndCommand(_STRU_WEB_DATA& record, qint32 result)
{
    if (record.dwResult < kWebConnected)
        record.strData.clear();
    record.dwResult = result;
}

void LogLine(const QByteArray& line)
{
    WriteLog(line);
}

} // namespace

CWEBManager::CWEBManager(QObject* owner) : CWEBManager(owner, CatchSignalsThenStartNet(this))
{
}

CWEBManager::SSystemParts CWEBManager::CatchSignalsThenStartNet(CWEBManager* self)
{
    SSystemParts parts;
    // The callback runs from the event loop only, when `self` is whole.
    parts.shutdown = std::make_unique<CShutdownSignals>([self](int signal) {
        if (self->isSignalConnected(QMetaMethod::fromSignal(&CWEBManager::shutdownSignal))) {
            emit self->shutdownSignal(signal);
            return;
        }
        WriteLog(ToAnsi(u"Signal %1: closing"_qs.arg(signal)));
        self->ReleaseRoute();
        QCoreApplication::exit(0);
    });
    parts.net = CreateSystemNetConfig();
    return parts;
}

CWEBManager::CWEBManager(QObject* owner, SSystemParts parts)
    : CWEBManager(owner, std::move(parts.net))
{
    m_signals = parts.shutdown.release();
    m_signals->setParent(this);
}

CWEBManager::CWEBManager(QObject* owner, std::shared_ptr<INetConfig> net)
    : QObject(owner), m_owner(owner), m_net(std::move(net))
{
    m_socket = new CAsyncTcpSocket(this);
    m_socket->onConnect = [this](int error) { OnConnect(error); };
    m_socket->onReceive = [this] { OnReceive(); };
    m_socket->onClose = [this](int error) { OnClose(error); };
    m_socket->onSendFailed = [this] { OnSendFailed(); };
    G_mstrLocalIP.clear();
    if (const QString problem = m_net->StartupProblem(); !problem.isEmpty())
        WriteLog(ToAnsi(u"Network configuration: %1"_qs.arg(problem)));
}

CWEBManager::~CWEBManager()
{
    if (m_owner) {
        if (auto* timers = m_owner->findChild<CWindowTimers*>(QString(), Qt::FindDirectChildrenOnly))
            timers->KillTimer(kQueueTimer);
    }
    ReleaseRoute();
}

void CWEBManager::SetResponseLimitForTest(qsizetype characters)
{
    g_responseLimit = characters;
}

void CWEBManager::AddCommand(const QString& strID, const QString& strData, const QString& strAPIP,
                             const QString& strAPSubnet, const QString& strFileName,
                             qsizetype nFileOffset, qint64 nFileSize)
{
    WriteLog(ToAnsi(u"strID=%1 strAPIP=%2 strAPSubnet=%3"_qs.arg(strID, strAPIP, strAPSubnet))
                 .left(kAddCommandLogBytes));
    _STRU_WEB_DATA record;
    record.strID = strID;
    record.strAPIP = strAPIP;
    record.strAPSubnet = strAPSubnet;
    record.strData = strData;
    record.strFileName = strFileName;
    record.nFileOffset = nFileOffset;
    record.nFileSize = nFileSize;
    record.dwConsole = m_console;
    record.dwStartTick = 0;
    // Only a command that opens a burst prepares the route; the ones behind it reuse it.
    if (G_mWebQueue.isEmpty()) {
        record.dwResult = kWebRoutePending;
        record.dwTimeout = kRouteTimeout;
    } else {
        record.dwResult = kWebConnectPending;
        record.dwTimeout = kConnectTimeout;
    }
    G_mWebQueue.append(record);
}

QString CWEBManager::TakeResult(std::uint32_t console, qint32& dwResult, QString& strData)
{
    const auto own =
        std::find_if(G_mWebDone.cbegin(), G_mWebDone.cend(),
                     [console](const _STRU_WEB_DATA& r) { return r.dwConsole == console; });
    if (own == G_mWebDone.cend())
        return QString();
    const _STRU_WEB_DATA record = G_mWebDone.takeAt(own - G_mWebDone.cbegin());
    dwResult = record.dwResult;
    strData = record.strData;
    return record.strID;
}

void CWEBManager::SetConsole(std::uint32_t console)
{
    m_console = console;
    const auto foreign = [console](const _STRU_WEB_DATA& r) { return r.dwConsole != console; };
    // The head may be on the wire: its connection goes with it, so that nothing of its answer
    // is read for the next device.
    const bool headDropped = !G_mWebQueue.isEmpty() && foreign(G_mWebQueue.first());
    const qsizetype queued = G_mWebQueue.removeIf(foreign);
    const qsizetype finished = G_mWebDone.removeIf(foreign);
    if (headDropped) {
        // A reset, not a close: the rest of an upload must not follow the user to nowhere.
        m_socket->Abort();
        m_nConnectState = 0;
    }
    if (queued + finished > 0)
        WriteLog(ToAnsi(u"New device: %1 queued and %2 finished commands of the last one dropped"_qs
                            .arg(queued)
                            .arg(finished)));
}

void CWEBManager::Pump()
{
    if (m_worker) {
        if (m_worker->Finished())
            CollectRouteWorker();
        else
            EndOverduePreparation();
        return; // nothing else while a worker exists
    }
    if (G_mWebQueue.isEmpty())
        return;
    _STRU_WEB_DATA head = G_mWebQueue.first();
    if (IsFinal(head.dwResult)) {
        G_mWebDone.append(head);
        G_mWebQueue.removeFirst();
        return;
    }
    if (head.dwStartTick != 0) {
        const std::uint32_t now = GetTickCount();
        if (now < head.dwStartTick) {
            // The counter wrapped: the step's time starts again.
            head.dwStartTick = StartTick();
        } else {
            // The answer's time counts from the request's last byte reaching the device: a
            // large upload over a slow link is still being sent, not waiting. A send that
            // stops moving is timed out like a silent device.
            if (IsAwaitingAnswer(head.dwResult)) {
                if (const std::uint32_t from = RequestProgress(now);
                    from != 0 && now - from < now - head.dwStartTick)
                    head.dwStartTick = from;
            }
            // Elapsed time, not start + timeout: that sum overflows near the wrap and would
            // time a step out at once.
            if (now - head.dwStartTick > head.dwTimeout) {
                EndCommand(head, kWebTimedOut);
                // The rest of a request the user was told failed must not reach the device
                // later, least of all an image it would then install.
                m_socket->Abort();
                m_nConnectState = 0;
            }
        }
        G_mWebQueue.first() = head;
        return;
    }
    switch (head.dwResult) {
    case kWebRoutePending:
        head.dwTimeout = kRouteTimeout;
        head.dwStartTick = StartTick();
        // Written back before the worker exists, so nothing can overwrite its result.
        G_mWebQueue.first() = head;
        StartRouteWorker(head);
        return;
    case kWebConnectPending:
        ConnectDevice(head.strAPIP);
        head.dwTimeout = kConnectTimeout;
        break;
    case kWebConnected:
        // Only `head` holds the request now, so that sending can use up its text.
        G_mWebQueue.first().strData.clear();
        SendRequest(head);
        head.dwTimeout = kResponseTimeout;
        head.strData.clear();
        break;
    default:
        break;
    }
    head.dwStartTick = StartTick();
    G_mWebQueue.first() = head;
}

bool CWEBManager::ConnectDevice(const QString& address)
{
    m_socket->Close();
    m_nConnectState = 1;
    int error = 0;
    if (!m_socket->Create(G_mstrLocalIP, error))
        return false;
    // A failure reported at once leaves the command to its connect time-out.
    m_socket->Connect(address, kDevicePort, error);
    return true;
}

void CWEBManager::SendRequest(_STRU_WEB_DATA& record)
{
    const bool upload = !record.strFileName.isEmpty();
    if (upload) {
        WriteLog("HTML Upload...");
        if (record.nFileOffset >= 0) {
            SendUpload(record);
            return;
        }
    }
    QByteArray bytes = MoveToAnsi(std::move(record.strData));
    // The byte count is fixed here.
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    if (!upload)
        WriteLog(bytes);
    m_socket->Send(bytes);
    m_pendingBytes = m_socket->PendingBytes();
    m_lastLookTick = StartTick();
}

void CWEBManager::SendUpload(_STRU_WEB_DATA& record)
{
    auto stream = std::make_shared<CRequestStream>(record.strData, record.nFileOffset,
                                                   record.strFileName, record.nFileSize);
    record.strData.clear();
    // Checked before anything goes out: a file that is gone or of another size since Apply
    // would reach the device as a broken image.
    if (!stream->Open()) {
        WriteLog(ToAnsi(u"HTML Upload failed: %1"_qs.arg(stream->Failure())));
        m_socket->Abort();
        m_nConnectState = 0;
        record.dwResult = kWebClosedWithError;
        return;
    }
    m_socket->SendFrom(
        [stream](QByteArray& chunk) {
            const EChunk next = stream->Next(chunk);
            if (next == EChunk::Failed)
                WriteLog(ToAnsi(u"HTML Upload failed: %1"_qs.arg(stream->Failure())));
            return next;
        },
        stream->Size());
    m_pendingBytes = m_socket->PendingBytes();
    m_lastLookTick = StartTick();
}

void CWEBManager::OnSendFailed()
{
    // The connection is reset already. Whatever the device said before is no answer to the
    // whole image, least of all an acceptance.
    if (!G_mWebQueue.isEmpty() && IsAwaitingAnswer(G_mWebQueue.first().dwResult)) {
        G_mWebQueue.first().dwResult = kWebClosedWithError;
        G_mWebQueue.first().strData.clear();
    }
    m_nConnectState = 0;
}

std::uint32_t CWEBManager::RequestProgress(std::uint32_t now)
{
    const qsizetype pending = m_socket->PendingBytes();
    const std::uint32_t lastLook = m_lastLookTick;
    const bool moved = pending < m_pendingBytes;
    m_pendingBytes = pending;
    m_lastLookTick = now ? now : 1;
    if (!moved)
        return 0;
    // Once all is gone, the last byte left after the previous look: count from there rather
    // than grant up to a tick more.
    return pending > 0 ? m_lastLookTick : lastLook;
}

void CWEBManager::OnConnect(int)
{
    // The error is not looked at: a failed connection sends nothing and times out.
    if (!G_mWebQueue.isEmpty() && G_mWebQueue.first().dwResult == kWebConnectPending) {
        G_mWebQueue.first().dwResult = kWebConnected;
        G_mWebQueue.first().dwStartTick = 0;
    }
    m_nConnectState = 2;
}

void CWEBManager::OnReceive()
{
    const QString peer = m_socket->PeerAddress();
    char buffer[kReceiveBlock + 1] = {};
    const qsizetype received = m_socket->Receive(buffer, kReceiveBlock);
    const QByteArrayView block(buffer, std::max<qsizetype>(received, 0));
    if (AppendResponseBlock(G_mWebQueue, peer, block, g_responseLimit) ==
        EReceiveOutcome::TooLong) {
        WriteLog("Response too long: connection closed");
        m_socket->Close();
        m_nConnectState = 0;
    }
}

EReceiveOutcome AppendResponseBlock(QList<_STRU_WEB_DATA>& queue, QStringView peer,
                                    QByteArrayView block, qsizetype limit)
{
    if (const qsizetype zero = block.indexOf('\0'); zero >= 0)
        block.truncate(zero);
    if (queue.isEmpty())
        return EReceiveOutcome::Discarded;
    _STRU_WEB_DATA& head = queue.first();
    if (peer != head.strAPIP)
        return EReceiveOutcome::Discarded;
    // Only the command that sent on this connection takes its data; a late block of an
    // earlier, timed-out connection must not land in the next command's request.
    if (head.dwResult != kWebConnected && head.dwResult != kWebReceiving)
        return EReceiveOutcome::Discarded;
    const QString text = FromAnsi(block);
    if (head.strData.size() + text.size() > limit) {
        head.dwResult = kWebClosedWithError;
        return EReceiveOutcome::TooLong;
    }
    if (head.dwResult == kWebConnected)
        head.dwResult = kWebReceiving;
    head.strData += text;
    return EReceiveOutcome::Appended;
}

void CWEBManager::OnClose(int error)
{
    // As with receive: an earlier connection's close does not finish the next command.
    if (!G_mWebQueue.isEmpty()) {
        _STRU_WEB_DATA& head = G_mWebQueue.first();
        if (head.dwResult == kWebConnected || head.dwResult == kWebReceiving)
            head.dwResult = error ? kWebClosedWithError : kWebClosed;
    }
    m_nConnectState = 0;
}

void CWEBManager::StartRouteWorker(const _STRU_WEB_DATA& record)
{
    m_workerConsole = record.dwConsole;
    m_worker =
        std::make_unique<CRouteWorker>(m_net, m_adapter, LogLine, record.strID, record.strAPIP,
                                       record.strAPSubnet, G_mdwInterfaceIndex);
    m_workerStartTick = StartTick();
    if (!m_worker->Start()) {
        m_worker.reset();
        WriteLog("Route preparation: no thread");
        G_mstrLocalIP = QString::fromLatin1(kRouteError);
        EndCommand(G_mWebQueue.first(), kWebUnreachable);
        G_mWebQueue.first().dwStartTick = 0;
    }
}

void CWEBManager::EndOverduePreparation()
{
    if (m_workerOverdue || m_worker->CommandID().isEmpty())
        return;
    const std::uint32_t now = GetTickCount();
    if (now < m_workerStartTick) {
        m_workerStartTick = StartTick(); // the counter wrapped: the time starts again
        return;
    }
    if (now - m_workerStartTick <= kRouteTimeout)
        return;
    m_workerOverdue = true;
    WriteLog("Route preparation: no result within 100000 ms");
    // Its next wait ends at once, and so does a password prompt still up.
    m_net->Interrupt(true);
    if (!G_mWebQueue.isEmpty() && G_mWebQueue.first().strID == m_worker->CommandID() &&
        G_mWebQueue.first().dwConsole == m_workerConsole &&
        G_mWebQueue.first().dwResult == kWebRoutePending) {
        _STRU_WEB_DATA head = G_mWebQueue.takeFirst();
        EndCommand(head, kWebUnreachable);
        G_mWebDone.append(head);
    }
}

void CWEBManager::CollectRouteWorker()
{
    m_worker->Join();
    const QString result = m_worker->Result();
    const QString strID = m_worker->CommandID();
    m_worker.reset();
    if (m_workerOverdue) {
        m_workerOverdue = false;
        m_net->Interrupt(false);
        // Stopped half-way, it may have left an address of ours: taken away off this thread,
        // and nothing else runs before it is gone.
        if (G_dwNTEContext != 0) {
            m_worker = CRouteWorker::Release(m_net, m_adapter, LogLine);
            if (!m_worker->Start())
                m_worker.reset();
        }
    }
    if (strID.isEmpty())
        return;
    G_mstrLocalIP = result;
    // Only if the head is still the command the worker prepared for: a new console's first
    // command may have the same keyword but another device.
    if (!G_mWebQueue.isEmpty() && G_mWebQueue.first().strID == strID &&
        G_mWebQueue.first().dwConsole == m_workerConsole &&
        G_mWebQueue.first().dwResult == kWebRoutePending) {
        _STRU_WEB_DATA& head = G_mWebQueue.first();
        if (result == QLatin1StringView(kRouteError))
            EndCommand(head, kWebUnreachable);
        else
            head.dwResult = kWebConnectPending;
        head.dwStartTick = 0;
    }
}

void CWEBManager::StopRouteWorker()
{
    if (!m_worker)
        return;
    // Shutdown must not sit out a whole preparation: its waits end early, its result is lost.
    m_net->Interrupt(true);
    m_worker->Join();
    m_worker.reset();
    m_workerOverdue = false;
    m_net->Interrupt(false);
}

bool CWEBManager::ExchangeUnfinished() const
{
    return !G_mWebQueue.isEmpty() && G_mWebQueue.first().dwResult >= kWebConnectPending &&
           G_mWebQueue.first().dwResult <= kWebReceiving && m_socket->IsOpen();
}

void CWEBManager::AbandonRequest()
{
    if (!ExchangeUnfinished())
        return;
    WriteLog(ToAnsi(u"%1 abandoned: connection reset"_qs.arg(G_mWebQueue.first().strID)));
    m_socket->Abort();
    m_nConnectState = 0;
}

void CWEBManager::ReleaseRoute()
{
    StopRouteWorker();
    AbandonRequest();
    m_socket->Close();
    m_nConnectState = 0;
    G_mstrLocalIP.clear();
    if (G_dwNTEContext != 0) {
        if (!m_net->DeleteAddress(G_dwNTEContext))
            WriteLog(ToAnsi(u"DeleteIPAddress failed: %1"_qs.arg(m_net->LastError())));
        G_dwNTEContext = 0;
        m_net->Wait(500);
    }
    G_mWebQueue.clear();
    G_mWebDone.clear();
}

void PumpQueue(unsigned timerId)
{
    if (timerId != CWEBManager::kQueueTimer || !G_pWEBManager)
        return;
    G_pWEBManager->Pump();
}
