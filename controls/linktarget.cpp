#include "controls/linktarget.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace
{

QStringView StripQuotes(QStringView text)
{
    if (text.startsWith(u'"'))
        text = text.mid(1);
    if (text.endsWith(u'"'))
        text.chop(1);
    return text;
}

QUrl LinkUrl(QStringView target)
{
    const QString text = StripQuotes(target).trimmed().toString();
    if (text.isEmpty())
        return QUrl();
    const QUrl url = QUrl::fromUserInput(text);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"mailto"))
        return QUrl();
    return url;
}

} // namespace

CAppCommandEvent::CAppCommandEvent(unsigned message, quintptr wParam)
    : QEvent(EventType()), m_message(message), m_wParam(wParam)
{
}

QEvent::Type CAppCommandEvent::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

std::optional<QString> AppCommandName(QStringView target)
{
    QStringView rest;
    if (target.startsWith(u"APP:", Qt::CaseInsensitive))
        rest = target.mid(4);
    else if (target.startsWith(u"\"APP:", Qt::CaseInsensitive))
        rest = target.mid(5);
    else
        return std::nullopt;
    return StripQuotes(rest).toString();
}

bool SendAppCommand(const std::vector<CAppCommand>& table, QStringView name)
{
    for (const CAppCommand& entry : table) {
        if (!entry.window || name.compare(entry.name, Qt::CaseInsensitive) != 0)
            continue;
        CAppCommandEvent event(entry.message, entry.wParam);
        QCoreApplication::sendEvent(entry.window.data(), &event);
        return true;
    }
    return false;
}

bool IsOpenableLink(QStringView target)
{
    return LinkUrl(target).isValid();
}

bool OpenLinkTarget(QStringView target)
{
    const QUrl url = LinkUrl(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}
