#include "platform/netconfig.h"
#include "platform/netconfig_client.h"
#include "platform/netconfig_netlink.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <linux/if_addr.h>
#include <linux/if_arp.h>
#include <linux/neighbour.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_addressLifetime{180};

thread_local QString t_lastError;

constexpr int kResolveWaitMs = 3000;
// Three probes 300 ms apart, then 300 ms more: a host that holds the address answers a probe
// within milliseconds. Longer, the probe alone would keep the connect a queue tick longer.
constexpr int kProbeWaitMs = 1200;
constexpr int kHelperSlackMs = 2000;

bool Fail(const QString& why)
{
    t_lastError = why;
    return false;
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

int AdapterType(const netconfig::LinkInfo& link)
{
    if (netconfig::IsTunnelKind(link.kind))
        return kAdapterTypeTunnel;
    switch (link.arpType) {
    case ARPHRD_ETHER:
        return link.wireless ? kAdapterTypeWireless : kAdapterTypeEthernet;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
        return kAdapterTypeWireless;
    case ARPHRD_LOOPBACK:
        return kAdapterTypeLoopback;
    case ARPHRD_PPP:
        return kAdapterTypePpp;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_IPGRE:
    case ARPHRD_SIT:
    case ARPHRD_IP6GRE:
    case ARPHRD_NONE:
        return kAdapterTypeTunnel;
    default:
        return kAdapterTypeOther;
    }
}

QString HelperPath()
{
    const QString name = QString::fromLatin1(netconfig::kHelperProgramName);
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString dir = QCoreApplication::applicationDirPath();
        // Installed: bin/ and libexec/kelda-support-utility/ under one prefix. Nowhere else
        // beside the program: what runs as root comes from where root put it.
        candidates << dir + QStringLiteral("/../") + QString::fromUtf8(KELDA_HELPER_RELATIVE_DIR) +
                          u'/' + name;
    }
#ifdef KELDA_HELPER_BUILD_PATH
    candidates << QString::fromUtf8(KELDA_HELPER_BUILD_PATH);
#endif
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        // pkexec picks our polkit action by comparing this text with the installed path.
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return candidates.isEmpty() ? QString() : candidates.first();
}

class CLinuxNetConfig final : public INetConfig {
public:
    CLinuxNetConfig(const QString& helperPath, bool asRoot)
        : m_helperPath(helperPath.toStdString()), m_asRoot(asRoot)
    {
        // As root it costs nothing to have the helper ready; a user would be asked for a
        // password, which a device on the PC's own subnet never needs.
        if (m_asRoot) {
            std::string why;
            m_helperRan = StartHelper(why);
            if (!m_helperRan)
                m_startupProblem = Text(why);
            m_mayStart = false;
        }
    }

    bool LookupRoute(quint32 destination, quint32& mask, quint32& ifIndex) override
    {
        std::uint8_t prefix = 0;
        std::uint32_t index = 0;
        if (const int error = netconfig::LookupRoute(destination, prefix, index); error < 0)
            return Fail(u"no route to %1: %2"_qs.arg(AddressToText(destination),
                                                      Text(netconfig::ErrorText(error))));
        mask = netconfig::MaskFromPrefix(prefix);
        ifIndex = index;
        return true;
    }

    bool ReadAdapters(QList<SNetAdapter>& adapters) override
    {
        std::vector<netconfig::LinkInfo> links;
        std::vector<netconfig::AddressInfo> addresses;
        int error = netconfig::ListLinks(links);
        if (error == 0)
            error = netconfig::ListAddresses(addresses);
        if (error < 0)
            return Fail(u"cannot list the adapters: %1"_qs.arg(Text(netconfig::ErrorText(error))));
        adapters.clear();
        for (const netconfig::LinkInfo& link : links) {
            SNetAdapter adapter;
            adapter.index = link.index;
            adapter.name = Text(link.name);
            adapter.hardwareAddress =
                QByteArray(reinterpret_cast<const char*>(link.hardwareAddress.data()),
                           qsizetype(link.hardwareAddress.size()));
            adapter.type = AdapterType(link);
            adapter.connected = netconfig::IsConnected(link);
            for (const netconfig::AddressInfo& address : addresses) {
                if (address.index != link.index)
                    continue;
                adapter.addresses.append(
                    {address.address, netconfig::MaskFromPrefix(address.prefixLength)});
            }
            if (adapter.addresses.isEmpty())
                adapter.addresses.append({0, 0});
            adapters.append(adapter);
        }
        return true;
    }

    bool AddAddress(quint32 address, quint32 mask, quint32 ifIndex, quint32 device,
                    quint32& context) override
    {
        const int prefix = netconfig::PrefixLength(mask);
        if (prefix < 0)
            return Fail(u"mask %1 is not contiguous"_qs.arg(AddressToText(mask)));
        netconfig::HelperRequest request;
        request.op = std::uint32_t(netconfig::HelperOp::AddAddress);
        request.ifIndex = ifIndex;
        request.address = address;
        request.prefixLength = std::uint32_t(prefix);
        request.device = device;
        request.value = g_addressLifetime.load();
        netconfig::HelperReply reply;
        if (!StartHelperIfNeeded() || !CallHelper(request, reply, 5000))
            return false;
        context = reply.context;
        return true;
    }

    bool DeleteAddress(quint32 context) override
    {
        netconfig::HelperRequest request;
        request.op = std::uint32_t(netconfig::HelperOp::DeleteAddress);
        request.context = context;
        netconfig::HelperReply reply;
        return CallHelper(request, reply, 5000);
    }

    bool AddressReady(quint32 ifIndex, quint32 address) override
    {
        std::vector<netconfig::AddressInfo> addresses;
        if (const int error = netconfig::ListAddresses(addresses); error < 0)
            return Fail(u"cannot list the addresses: %1"_qs.arg(Text(netconfig::ErrorText(error))));
        for (const netconfig::AddressInfo& entry : addresses) {
            if (entry.index == ifIndex && entry.address == address)
                return !(entry.flags & (IFA_F_TENTATIVE | IFA_F_DADFAILED)) ||
                       Fail(u"%1 is not ready yet"_qs.arg(AddressToText(address)));
        }
        return Fail(u"%1 is not on adapter %2"_qs.arg(AddressToText(address)).arg(ifIndex));
    }

    bool ArpRequest(quint32 ifIndex, quint32 target, quint32 source,
                    QByteArray& hardwareAddress) override
    {
        if (!m_helper.Usable())
            return KernelResolve(ifIndex, target, source, hardwareAddress);
        netconfig::HelperRequest request;
        request.op = std::uint32_t(netconfig::HelperOp::ResolveAddress);
        request.ifIndex = ifIndex;
        request.address = target;
        request.source = source;
        request.value = kResolveWaitMs;
        netconfig::HelperReply reply;
        if (!CallHelper(request, reply, kResolveWaitMs + kHelperSlackMs))
            return false;
        if (!reply.answered)
            return Fail(u"no ARP answer from %1"_qs.arg(AddressToText(target)));
        hardwareAddress = QByteArray(reinterpret_cast<const char*>(reply.hardware),
                                     qMin<qsizetype>(reply.hardwareLength, 8));
        return true;
    }

    // Windows answers an ARP for one of the PC's own addresses with the PC's own hardware
    // address, and with another host's when that host holds it as well. Here the same
    // question is an RFC 5227 probe: no answer means the address is ours alone (our own
    // hardware address is the answer), an answer names the other host.
    bool CandidateOwner(quint32 ifIndex, quint32 candidate, QByteArray& hardwareAddress) override
    {
        netconfig::HelperRequest request;
        request.op = std::uint32_t(netconfig::HelperOp::ProbeAddress);
        request.ifIndex = ifIndex;
        request.address = candidate;
        request.value = kProbeWaitMs;
        netconfig::HelperReply reply;
        if (!StartHelperIfNeeded() || !CallHelper(request, reply, kProbeWaitMs + kHelperSlackMs))
            return false;
        if (reply.answered) {
            hardwareAddress = QByteArray(reinterpret_cast<const char*>(reply.hardware),
                                         qMin<qsizetype>(reply.hardwareLength, 8));
            return true;
        }
        std::vector<netconfig::LinkInfo> links;
        netconfig::LinkInfo link;
        if (netconfig::ListLinks(links) < 0 || !netconfig::FindLink(links, ifIndex, link))
            return Fail(u"adapter %1 is gone"_qs.arg(ifIndex));
        hardwareAddress = QByteArray(reinterpret_cast<const char*>(link.hardwareAddress.data()),
                                     qsizetype(link.hardwareAddress.size()));
        return true;
    }

    bool FlushNeighbours(quint32 ifIndex) override
    {
        netconfig::HelperRequest request;
        request.op = std::uint32_t(netconfig::HelperOp::FlushNeighbours);
        request.ifIndex = ifIndex;
        netconfig::HelperReply reply;
        return CallHelper(request, reply, 5000);
    }

    bool Wait(unsigned ms) override
    {
        std::unique_lock lock(m_waitMutex);
        return !m_waitChange.wait_for(lock, std::chrono::milliseconds(ms),
                                      [this] { return m_interrupted; });
    }

    void Interrupt(bool interrupted) override
    {
        {
            std::lock_guard lock(m_waitMutex);
            m_interrupted = interrupted;
        }
        m_helper.Cancel(interrupted);
        m_waitChange.notify_all();
    }

    QString LastError() const override { return t_lastError; }
    QString StartupProblem() const override { return m_startupProblem; }

private:
    // Started when a temporary address is first needed, through pkexec, whose agent asks the
    // user for the password. A refusal stands for the rest of the run, so one preparation does
    // not ask again for every candidate; a helper that ran and ended is started again.
    bool StartHelperIfNeeded()
    {
        if (m_helper.Usable())
            return true;
        if (!m_mayStart && !m_helperRan)
            return Fail(Text(m_helper.Problem()));
        std::string why;
        const bool started = StartHelper(why);
        m_mayStart = false;
        m_helperRan = started;
        return started || Fail(Text(why));
    }

    // Directly as root, or through pkexec, the helper runs as root: only a file that root alone
    // can change is started.
    bool StartHelper(std::string& why)
    {
        std::string path = m_helperPath;
        if (!path.empty() && ::access(path.c_str(), F_OK) == 0 &&
            !netconfig::IsTrustedProgram(m_helperPath, path, why)) {
            why = "the privileged helper is not started: " + why;
            return false;
        }
        return m_asRoot ? m_helper.Start(path, why)
                        : m_helper.Start(path, netconfig::HelperLaunch::Pkexec, KELDA_PKEXEC_PATH,
                                         netconfig::kPkexecHandshakeMs, why);
    }

    bool CallHelper(const netconfig::HelperRequest& request, netconfig::HelperReply& reply,
                    int timeoutMs)
    {
        if (!m_helper.Usable())
            return Fail(Text(m_helper.Problem()));
        std::string why;
        if (!m_helper.Call(request, reply, timeoutMs, why))
            return Fail(Text(why));
        if (reply.error != 0)
            return Fail(Text(reply.message[0] ? std::string(reply.message)
                                              : netconfig::ErrorText(reply.error)));
        return true;
    }

    // Without the helper no ARP packet can be sent: let the kernel resolve the neighbour by
    // sending it an empty datagram (discard port), then read the neighbour table. Weaker than a
    // fresh ARP, since a recent entry cannot be flushed first, but a device on the same subnet
    // stays reachable without privileges.
    bool KernelResolve(quint32 ifIndex, quint32 target, quint32 source, QByteArray& hardware)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return Fail(u"no socket: %1"_qs.arg(Text(netconfig::ErrorText(errno))));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = source;
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(9);
        remote.sin_addr.s_addr = target;
        const bool sent =
            (source == 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) &&
            ::sendto(fd, "", 0, 0, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
        const int sendError = errno;
        ::close(fd);
        if (!sent)
            return Fail(u"cannot reach %1: %2"_qs.arg(AddressToText(target),
                                                       Text(netconfig::ErrorText(sendError))));
        constexpr std::uint16_t kAnswered =
            NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
        do {
            netconfig::NeighbourInfo neighbour;
            if (netconfig::ReadNeighbour(ifIndex, target, neighbour) == 0 &&
                (neighbour.state & kAnswered) && !neighbour.hardwareAddress.empty()) {
                hardware = QByteArray(reinterpret_cast<const char*>(neighbour.hardwareAddress.data()),
                                      qsizetype(neighbour.hardwareAddress.size()));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < end);
        return Fail(u"no ARP answer from %1 (the kernel's neighbour table, since %2)"_qs.arg(
            AddressToText(target), Text(m_helper.Problem())));
    }

    netconfig::HelperClient m_helper;
    std::string m_helperPath;
    bool m_asRoot;
    bool m_mayStart = true;
    bool m_helperRan = false;
    QString m_startupProblem;
    std::mutex m_waitMutex;
    std::condition_variable m_waitChange;
    bool m_interrupted = false;
};

} // namespace

std::shared_ptr<INetConfig> CreateSystemNetConfig()
{
    return CreateSystemNetConfig(HelperPath());
}

std::shared_ptr<INetConfig> CreateSystemNetConfig(const QString& helperPath)
{
    return std::make_shared<CLinuxNetConfig>(helperPath, ::geteuid() == 0);
}

void SetAddressLifetimeForTest(unsigned seconds)
{
    g_addressLifetime = seconds;
}
