#include "session/base64.h"

#include "platform/codepage.h"

QString EncodeBase64(QStringView text)
{
    QByteArray bytes = ToAnsi(text);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    // The whole text: cutting long credentials would send a login the device refuses.
    return QString::fromLatin1(bytes.toBase64());
}
