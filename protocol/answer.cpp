#include "protocol/answer.h"

#include "session/webdata.h"

namespace
{

constexpr QStringView kHeadEnd = u"\r\n\r\n";
constexpr QStringView kContentLength = u"content-length:";

// The value of the head's first Content-Length line; -1 when there is none or it is no number.
qint64 AnnouncedLength(QStringView head)
{
    for (QStringView line : head.tokenize(u"\r\n")) {
        if (!line.startsWith(kContentLength, Qt::CaseInsensitive))
            continue;
        bool number = false;
        const qint64 length = line.mid(kContentLength.size()).trimmed().toLongLong(&number);
        return number && length >= 0 ? length : -1;
    }
    return -1;
}

} // namespace

bool IsResponseOK(QStringView response)
{
    return response.contains(u"HTTP") && response.contains(u"200");
}

bool IsAnswerWhole(int dwResult, QStringView response)
{
    if (dwResult != kWebClosed && dwResult != kWebTimedOut)
        return false;
    const qsizetype headEnd = response.indexOf(kHeadEnd);
    if (headEnd < 0)
        return false;
    const qint64 announced = AnnouncedLength(response.left(headEnd));
    return announced < 0 || response.size() - (headEnd + kHeadEnd.size()) >= announced;
}
