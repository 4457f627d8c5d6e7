#include "session/routeworker.h"

#include <system_error>

CRouteWorker::CRouteWorker(std::shared_ptr<INetConfig> net, SAdapterDetails& adapter,
                           CRoutePreparer::LogSink log, QString strID, quint32 device, quint32 mask,
                           quint32 preferredIfIndex)
    : m_net(std::move(net)), m_preparer(*m_net, adapter, std::move(log)), m_strID(std::move(strID)),
      m_device(device), m_mask(mask)
{
    m_preparer.PreferAdapter(preferredIfIndex);
}

std::unique_ptr<CRouteWorker> CRouteWorker::Release(std::shared_ptr<INetConfig> net,
                                                    SAdapterDetails& adapter,
                                                    CRoutePreparer::LogSink log)
{
    auto worker =
        std::make_unique<CRouteWorker>(std::move(net), adapter, std::move(log), QString(), 0, 0);
    worker->m_releaseOnly = true;
    return worker;
}

CRouteWorker::~CRouteWorker()
{
    Join();
}

bool CRouteWorker::Start()
{
    try {
        m_thread = std::thread([this] {
            if (m_releaseOnly)
                m_preparer.DeleteTempAddress();
            else
                m_result = m_preparer.PrepareRoute(m_device, m_mask);
            m_finished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CRouteWorker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}
