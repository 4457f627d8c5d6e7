#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// What a link of the program's own markup delivers: "APP:" targets reach a registered window as
// this event, sent synchronously; any other target goes to the desktop's handler.
class CAppCommandEvent : public QEvent
{
public:
    CAppCommandEvent(unsigned message, quintptr wParam);
    static QEvent::Type EventType();

    unsigned Message() const { return m_message; }
    quintptr WParam() const { return m_wParam; }

private:
    unsigned m_message;
    quintptr m_wParam;
};

struct CAppCommand {
    QPointer<QObject> window;
    unsigned message = 0;
    quintptr wParam = 0;
    QString name;
};

// The command name of an "APP:" or "\"APP:" target (any case), one pair of quotes stripped;
// nothing for other targets.
std::optional<QString> AppCommandName(QStringView target);

// Sends the first live entry named `name` (any case) its message; false when none matches.
bool SendAppCommand(const std::vector<CAppCommand>& table, QStringView name);

// Opens a web or mail address with the desktop's handler, never through a shell. Other schemes
// (files, programs, desktop entries) are refused: link texts can come from a device.
bool OpenLinkTarget(QStringView target);
bool IsOpenableLink(QStringView target);
