#include "discovery/udpmanager.h"

#include "discovery/discoveryqueue.h"
#include "discovery/discoveryreply.h"
#include "platform/windowtimers.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

CUDPManager* G_pUDPManager = nullptr;

namespace {

sockaddr_in BroadcastAddress()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kDiscoveryPort);
    address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return address;
}

// The interface index in IP_PKTINFO picks the adapter; the kernel then takes that adapter's
// own address as the source, and needs no route (nor any privilege) for the limited broadcast.
void SendOnAdapter(int socket, const QByteArray& query, int interfaceIndex)
{
    sockaddr_in destination = BroadcastAddress();
    iovec data{const_cast<char*>(query.constData()), static_cast<size_t>(query.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    (void)::sendmsg(socket, &message, MSG_NOSIGNAL);
}

} // namespace

CUDPManager::CUDPManager(int state, QObject* owner, CWindowTimers* ownerTimers,
                         AdapterSource adapters)
    : QObject(owner), m_nState(state), m_ownerTimers(ownerTimers),
      m_adapters(std::move(adapters))
{
}

CUDPManager::~CUDPManager()
{
    // No query may leave once destruction has begun.
    if (m_ownerTimers)
        m_ownerTimers->KillTimer(kDiscoveryTimer);
    Shutdown();
    if (G_pUDPManager == this)
        G_pUDPManager = nullptr;
}

void CUDPManager::Shutdown()
{
    G_mUDPQueue.clear();
    ClearDeviceList();
    Close();
}

void CUDPManager::SendDiscoveryQuery(QByteArrayView firstField)
{
    if (m_nState == 1)
        CreateDiscoverySocket();
    if (!IsOpen())
        return;
    const QByteArray query = BuildDiscoveryQuery(firstField);
    const std::vector<int> adapters = m_adapters ? m_adapters() : std::vector<int>();
    if (adapters.empty()) {
        // Nothing to pick from: let the routing table choose, as a plain broadcast does.
        const sockaddr_in destination = BroadcastAddress();
        (void)::sendto(m_socket, query.constData(), query.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        return;
    }
    for (const int index : adapters)
        SendOnAdapter(m_socket, query, index);
}

void CUDPManager::DiscardWaitingReplies()
{
    if (!IsOpen())
        return;
    char byte;
    while (::recv(m_socket, &byte, 1, MSG_DONTWAIT | MSG_TRUNC) >= 0) {
    }
}

bool CUDPManager::CreateDiscoverySocket()
{
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kDiscoveryPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    // No SO_REUSEADDR: a port held by another program must make the bind fail, not share it.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return false;
    }
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        ::close(fd);
        return false;
    }
    // Tells which adapter heard each device; without it the device is simply not tied to one.
    (void)::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    m_socket = fd;
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CUDPManager::OnReadable);
    m_exceptionNotifier = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
    connect(m_exceptionNotifier, &QSocketNotifier::activated, this,
            &CUDPManager::OnOutOfBandData);
    m_nState = 0;
    return true;
}

void CUDPManager::Close()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_exceptionNotifier;
    m_exceptionNotifier = nullptr;
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
    m_nState = 1;
}

void CUDPManager::OnReadable()
{
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length);
    OnReceive(error);
}

void CUDPManager::OnReceive(int errorCode)
{
    if (!IsOpen())
        return;
    if (errorCode == ENETDOWN) {
        Close();
        return;
    }
    QByteArray buffer(kReceiveBufferSize, '\0');
    iovec data{buffer.data(), static_cast<size_t>(buffer.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // MSG_TRUNC reports the datagram's real length, so one that did not fit is seen as such.
    const ssize_t received = ::recvmsg(m_socket, &message, MSG_TRUNC);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (received < 0) {
        Close();
        return;
    }
    // An empty or oversized datagram is no reply; the ones queued behind it may well be.
    if (received == 0 || received > kReceiveBufferSize)
        return;
    AcceptDiscoveryReply(QByteArrayView(buffer.constData(), received), G_mAPList,
                         ArrivalInterface(message));
}

void CUDPManager::OnOutOfBandData()
{
    // Level-triggered: left on, a condition that stays would fire on every loop pass.
    if (m_exceptionNotifier)
        m_exceptionNotifier->setEnabled(false);
    m_nState = 1;
}

void CUDPManager::OnClose()
{
    m_nState = 1;
}

std::uint32_t ArrivalInterface(const msghdr& message)
{
    if (message.msg_flags & MSG_CTRUNC)
        return 0;
    for (const cmsghdr* header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(header))) {
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO ||
            header->cmsg_len < CMSG_LEN(sizeof(in_pktinfo)))
            continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(header), sizeof info);
        return info.ipi_ifindex > 0 ? std::uint32_t(info.ipi_ifindex) : 0;
    }
    return 0;
}

void DiscoveryTimerProc(unsigned timerId)
{
    if (timerId != CUDPManager::kDiscoveryTimer)
        return;
    AdvanceDiscoveryQueue([](QByteArrayView firstField) {
        if (G_pUDPManager)
            G_pUDPManager->SendDiscoveryQuery(firstField);
    });
}
