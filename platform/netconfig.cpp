#include "platform/netconfig.h"

#include "platform/netconfig_netlink.h"

#include <arpa/inet.h>

QString AddressToText(quint32 address)
{
    return QString::fromStdString(netconfig::AddressText(address));
}

bool TextToAddress(QStringView text, quint32& address)
{
    const QByteArray bytes = text.toLatin1();
    in_addr parsed{};
    if (text.isEmpty() || bytes.contains('\0') || inet_pton(AF_INET, bytes.constData(), &parsed) != 1)
        return false;
    address = parsed.s_addr;
    return true;
}
