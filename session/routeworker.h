#pragma once

#include "session/routeprep.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

// One route preparation on its own short-lived thread. It touches no queue record: the pump
// sees it finish and carries its result over on the user-interface thread.
class CRouteWorker {
public:
    // The device's address and mask in network byte order; preferredIfIndex: the adapter it
    // was heard on (0: unknown).
    CRouteWorker(std::shared_ptr<INetConfig> net, SAdapterDetails& adapter,
                 CRoutePreparer::LogSink log, QString strID, quint32 device, quint32 mask,
                 quint32 preferredIfIndex = 0);
    // A worker that only removes the temporary address a stopped preparation left behind; its
    // command keyword is empty.
    static std::unique_ptr<CRouteWorker> Release(std::shared_ptr<INetConfig> net,
                                                 SAdapterDetails& adapter,
                                                 CRoutePreparer::LogSink log);
    CRouteWorker(const CRouteWorker&) = delete;
    CRouteWorker& operator=(const CRouteWorker&) = delete;
    ~CRouteWorker();

    // false when no thread could be made.
    [[nodiscard]] bool Start();
    // Does not block.
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    // Once finished: the preparation's answer.
    SRoute Result() const { return m_result; }
    const QString& CommandID() const { return m_strID; }
    void Join();

private:
    std::shared_ptr<INetConfig> m_net;
    CRoutePreparer m_preparer;
    QString m_strID;
    quint32 m_device = 0;
    quint32 m_mask = 0;
    SRoute m_result;
    bool m_releaseOnly = false;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};
