// Discovery replies come from anyone on the local network: any bytes must give either no
// device or one whose fields are what a zero-filled 1024-byte receive buffer holds.

#include "discovery/discoveryreply.h"
#include "fuzzcheck.h"
#include "platform/codepage.h"

#include <array>

namespace
{

// The reply as the device's own description reads: a zero-filled buffer, each field up to its
// first zero byte.
QString BufferField(const std::array<char, kReceiveBufferSize + 1>& buffer, qsizetype offset)
{
    return FromAnsi(QByteArrayView(buffer.data() + offset));
}

QString Without(QString text, QStringView characters)
{
    for (QChar c : characters)
        text.remove(c);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<_STRU_AP_INFO> device = ParseDiscoveryReply(datagram);
    const bool sizeOk = datagram.size() >= kMinReplySize && datagram.size() <= kReceiveBufferSize;
    FUZZ_CHECK(device.has_value() == sizeOk);
    if (!device)
        return 0;

    std::array<char, kReceiveBufferSize + 1> buffer{};
    std::memcpy(buffer.data(), data, size);
    FUZZ_CHECK(device->strModel == Without(BufferField(buffer, 49), u"\r\n"));
    FUZZ_CHECK(device->strIP == Without(BufferField(buffer, 72), u"'"));
    FUZZ_CHECK(device->strSubnet == Without(BufferField(buffer, 104), u"'"));
    FUZZ_CHECK(device->strUserName == Without(BufferField(buffer, 136), u"'"));
    FUZZ_CHECK(device->strPassword == Without(BufferField(buffer, 152), u"'"));
    const QString mac = Without(BufferField(buffer, 17), u"'");
    FUZZ_CHECK(device->strMAC.size() == mac.size() + 5);
    FUZZ_CHECK(device->strMAC.count(u':') == mac.count(u':') + 5);
    FUZZ_CHECK(!device->strMAC.contains(u'\''));

    // The same reply twice, or with the MAC in the other case, is one device.
    CFoundDevices devices;
    const bool first = AcceptDiscoveryReply(datagram, devices);
    FUZZ_CHECK(first == (device->strModel == QStringView(u"QZ-8061Tr")));
    FUZZ_CHECK(devices.size() == (first ? 1 : 0));
    FUZZ_CHECK(!AcceptDiscoveryReply(datagram, devices));
    QByteArray lowered = datagram.toByteArray();
    for (qsizetype i = 17; i < 49 && i < lowered.size(); ++i) {
        if (lowered[i] >= 'A' && lowered[i] <= 'Z')
            lowered[i] = char(lowered[i] - 'A' + 'a');
    }
    FUZZ_CHECK(!AcceptDiscoveryReply(lowered, devices));
    FUZZ_CHECK(devices.size() == (first ? 1 : 0));
    return 0;
}
