#pragma once

#include <QByteArray>
#include <QByteArrayView>

class CSingleInstance;
class QWidget;

// Brings the program's window to the front for a later start of the program, with the token the
// desktop gave that start: Wayland's activation token, which the compositor asks for before it
// lets a window take the focus, or an X11 startup id, whose launch it also ends.
void BringToFront(QWidget* window, const QByteArray& token);
// Brings `window` to the front whenever a later start of the program asks, for as long as both
// live; false when the program cannot listen for later starts.
bool RaiseOnLaterStarts(CSingleInstance& instance, QWidget* window);

// The X server time at the end of an X11 startup id ("..._TIME<time>"); 0 when there is none.
quint32 StartupIdTime(QByteArrayView startupId);
// The startup-notification message that ends the launch of `startupId`, quoted as the
// protocol asks where the id holds quotes or backslashes.
QByteArray StartupRemoveMessage(QByteArrayView startupId);
