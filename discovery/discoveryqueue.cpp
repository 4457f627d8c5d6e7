#include "discovery/discoveryqueue.h"

#include "platform/tickcount.h"

QList<_STRU_UDP_DATA> G_mUDPQueue;
CFoundDevices G_mAPList;

namespace {

constexpr std::int32_t kQueriesPerScan = 3;
constexpr std::uint32_t kQueryIntervalMs = 750;
constexpr char kBroadcastFirstField[] = "\xFF\xFF\xFF\xFF\xFF\xFF";

// 0 stands for "no wait pending", so a send that happens at tick 0 is recorded one ms later.
std::uint32_t SendTick()
{
    const std::uint32_t now = GetTickCount();
    return now == 0 ? 1 : now;
}

} // namespace

void QueueDiscovery(const QString& strTag)
{
    _STRU_UDP_DATA job;
    job.strTag = strTag;
    job.nType = 0;
    job.nParam = 0;
    job.dwLastTick = 0;
    job.nSendsLeft = kQueriesPerScan;
    job.dwIntervalMs = kQueryIntervalMs;
    G_mUDPQueue.append(job);
    ClearDeviceList();
}

void RemoveHeadJob()
{
    if (!G_mUDPQueue.isEmpty())
        G_mUDPQueue.removeFirst();
}

void ClearDeviceList()
{
    G_mAPList.clear();
    G_mAPList.squeeze();
}

bool IsWaitOver(std::uint32_t now, std::uint32_t lastTick, std::uint32_t intervalMs)
{
    return static_cast<std::uint32_t>(now - lastTick) > intervalMs;
}

void AdvanceDiscoveryQueue(const std::function<void(QByteArrayView firstField)>& sendQuery)
{
    if (G_mUDPQueue.isEmpty())
        return;
    _STRU_UDP_DATA job = G_mUDPQueue.first();
    if (job.dwLastTick != 0) {
        if (!IsWaitOver(GetTickCount(), job.dwLastTick, job.dwIntervalMs))
            return;
        job.dwLastTick = 0;
    }
    if (job.nSendsLeft == 0) {
        RemoveHeadJob();
        return;
    }
    --job.nSendsLeft;
    if (job.nType == 0) {
        sendQuery(QByteArrayView(kBroadcastFirstField, 6));
        job.dwLastTick = SendTick();
    }
    // Whoever sent may have emptied the queue meanwhile (the object being destroyed).
    if (!G_mUDPQueue.isEmpty())
        G_mUDPQueue.first() = job;
}
