#pragma once

#include <QByteArrayView>
#include <QString>

// Appends one entry to breviklog.txt in the user's home directory: the local time as
// "HH:MM:SS\r\n", the text up to its first zero byte, then "\r\n\r\n". The file is opened and
// closed per entry so support can read it while the program runs. Only a regular file of the
// user's own is written, never through a symbolic link. Failures are ignored.
void WriteLog(QByteArrayView text);

// The log file's path.
QString LogFilePath();
