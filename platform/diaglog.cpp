#include "platform/diaglog.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString LogFilePath()
{
    return QDir::homePath() + QStringLiteral("/breviklog.txt");
}

void WriteLog(QByteArrayView text)
{
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text = text.first(zero);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char timeLine[16];
    std::snprintf(timeLine, sizeof timeLine, "%.2d:%.2d:%.2d\r\n", local.tm_hour, local.tm_min,
                  local.tm_sec);

    QByteArray entry;
    entry.reserve(text.size() + 16);
    entry.append(timeLine).append(text).append("\r\n\r\n");

    const QByteArray path = QFile::encodeName(LogFilePath());
    // The log holds the device password: nobody else on the PC may read it. A link, a pipe or
    // another user's file put at its path would carry it elsewhere (or block the program), so
    // only our own regular file is written, and only while it has no other name (a hard link
    // passes every other test); anything else goes unlogged.
    const int fd =
        ::open(path.constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return;
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        info.st_uid != ::geteuid()) {
        ::close(fd);
        return;
    }
    if (info.st_mode & 077)
        ::fchmod(fd, info.st_mode & 0700);
    const char* data = entry.constData();
    qsizetype left = entry.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
    ::close(fd);
}
