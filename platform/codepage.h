#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The device, the log and the credentials speak one fixed 8-bit code page: Windows-1252.
// Bytes that code page leaves undefined decode to the C1 control of the same value, so every
// byte sequence round-trips; a character the code page cannot hold becomes "?".
QByteArray ToAnsi(QStringView text);
QString FromAnsi(QByteArrayView bytes);
