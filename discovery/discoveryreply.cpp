#include "discovery/discoveryreply.h"

#include "platform/codepage.h"

namespace {

constexpr qsizetype kMACOffset = 17;
constexpr qsizetype kModelOffset = 49;
constexpr qsizetype kIPOffset = 72;
constexpr qsizetype kSubnetOffset = 104;
constexpr qsizetype kUserNameOffset = 136;
constexpr qsizetype kPasswordOffset = 152;

const char kSignature[] = "BREVIK";

// A field runs to its first zero byte, but never past the bytes that were received: a sender
// that leaves the last field unterminated must not make us read beyond the datagram.
QString ReadField(QByteArrayView datagram, qsizetype offset)
{
    if (offset >= datagram.size())
        return QString();
    QByteArrayView field = datagram.sliced(offset);
    const qsizetype end = field.indexOf('\0');
    if (end >= 0)
        field.truncate(end);
    return FromAnsi(field);
}

QString WithoutApostrophes(QString text)
{
    return text.remove(u'\'');
}

} // namespace

QByteArray BuildDiscoveryQuery(QByteArrayView firstField)
{
    QByteArray query(kDiscoveryQuerySize, '\0');
    for (qsizetype i = 0; i < 6 && i < firstField.size(); ++i)
        query[i] = firstField[i];
    for (qsizetype i = 0; i < 6; ++i)
        query[6 + i] = kSignature[i];
    query[12] = '\x00';
    query[13] = '\xA0';
    query[14] = '\xFF';
    query[15] = '\x5F';
    return query;
}

QString MakeMACKey(QStringView macText)
{
    QString key = macText.toString();
    key.remove(u'\'');
    // ASCII only, so that the key keeps its length whatever else a sender puts there.
    for (QChar& c : key) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    for (const qsizetype position : {10, 8, 6, 4, 2})
        key.insert(std::min(position, key.size()), u':');
    return key;
}

std::optional<_STRU_AP_INFO> ParseDiscoveryReply(QByteArrayView datagram)
{
    if (datagram.size() < kMinReplySize || datagram.size() > kReceiveBufferSize)
        return std::nullopt;
    _STRU_AP_INFO device;
    device.strModel = ReadField(datagram, kModelOffset);
    device.strModel.remove(u'\r').remove(u'\n');
    device.strMAC = MakeMACKey(ReadField(datagram, kMACOffset));
    device.strIP = WithoutApostrophes(ReadField(datagram, kIPOffset));
    device.strSubnet = WithoutApostrophes(ReadField(datagram, kSubnetOffset));
    device.strUserName = WithoutApostrophes(ReadField(datagram, kUserNameOffset));
    device.strPassword = WithoutApostrophes(ReadField(datagram, kPasswordOffset));
    return device;
}

bool AcceptDiscoveryReply(QByteArrayView datagram, CFoundDevices& devices,
                          std::uint32_t interfaceIndex)
{
    if (devices.IsFull())
        return false;
    std::optional<_STRU_AP_INFO> device = ParseDiscoveryReply(datagram);
    if (!device || devices.ContainsMAC(device->strMAC))
        return false;
    if (device->strModel != QStringView(kSupportedModel))
        return false;
    device->dwInterfaceIndex = interfaceIndex;
    devices.append(std::move(*device));
    return true;
}
