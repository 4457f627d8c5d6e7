#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The device, the log and the credentials speak one fixed 8-bit code page: Windows-1252.
// Bytes that code page leaves undefined decode to the C1 control of the same value, so every
// byte sequence round-trips; a character the code page cannot hold becomes "?".
QByteArray ToAnsi(QStringView text);
// The same, using up the text: plain ASCII that nobody else shares is converted in the text's
// own buffer, so a request that carries a firmware image is never held twice.
QByteArray MoveToAnsi(QString&& text);
QString FromAnsi(QByteArrayView bytes);
