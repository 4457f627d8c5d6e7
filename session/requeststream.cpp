#include "session/requeststream.h"

#include "platform/codepage.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

CRequestStream::CRequestStream(QStringView request, qsizetype fileOffset, const QString& fileName,
                               qint64 fileSize, qsizetype chunkBytes)
    : m_before(ToAnsi(request.first(std::clamp<qsizetype>(fileOffset, 0, request.size())))),
      m_after(ToAnsi(request.sliced(std::clamp<qsizetype>(fileOffset, 0, request.size())))),
      m_fileName(fileName), m_path(QFile::encodeName(fileName)),
      m_fileSize(std::max<qint64>(fileSize, 0)), m_chunkBytes(std::max<qsizetype>(chunkBytes, 1))
{
    // A request ends at its first zero byte: what would follow it is never sent.
    if (const qsizetype zero = m_before.indexOf('\0'); zero >= 0) {
        m_before.truncate(zero);
        m_fileSize = 0;
        m_after.clear();
        m_fileName.clear();
    } else if (const qsizetype zero = m_after.indexOf('\0'); zero >= 0) {
        m_after.truncate(zero);
    }
    m_size = m_before.size() + m_fileSize + m_after.size();
}

CRequestStream::~CRequestStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CRequestStream::Open()
{
    if (m_fileName.isEmpty() || m_fd >= 0)
        return m_failure.isEmpty();
    // Not blocking: a pipe put in the file's place would otherwise hold the program at open.
    m_fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0) {
        Fail(u"cannot open %1: %2"_qs.arg(m_fileName, ErrnoText()));
        return false;
    }
    struct stat info = {};
    if (::fstat(m_fd, &info) < 0 || !S_ISREG(info.st_mode)) {
        Fail(u"%1 is no longer a file"_qs.arg(m_fileName));
        return false;
    }
    m_device = info.st_dev;
    m_inode = info.st_ino;
    if (const QString change = Change(); !change.isEmpty()) {
        Fail(change);
        return false;
    }
    return true;
}

EChunk CRequestStream::Next(QByteArray& chunk)
{
    if (!m_failure.isEmpty())
        return EChunk::Failed;
    switch (m_part) {
    case EPart::Before:
        m_part = EPart::File;
        if (!m_before.isEmpty()) {
            chunk = std::exchange(m_before, QByteArray());
            return EChunk::Data;
        }
        [[fallthrough]];
    case EPart::File:
        if (m_fileRead < m_fileSize) {
            if (m_fd < 0 && !Open())
                return EChunk::Failed;
            const qsizetype want =
                qsizetype(std::min<qint64>(m_chunkBytes, m_fileSize - m_fileRead));
            chunk.resize(want);
            qsizetype got = 0;
            while (got < want) {
                const ssize_t length = ::read(m_fd, chunk.data() + got, size_t(want - got));
                if (length < 0 && errno == EINTR)
                    continue;
                if (length < 0)
                    return Fail(u"cannot read %1: %2"_qs.arg(m_fileName, ErrnoText()));
                if (length == 0)
                    return Fail(
                        u"%1 shrank to %2 of its %3 bytes while it was sent"_qs.arg(m_fileName)
                            .arg(m_fileRead + got)
                            .arg(m_fileSize));
                got += length;
            }
            m_fileRead += got;
            if (const QString change = Change(); !change.isEmpty())
                return Fail(change);
            return EChunk::Data;
        }
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        m_part = EPart::After;
        [[fallthrough]];
    case EPart::After:
        m_part = EPart::Done;
        if (!m_after.isEmpty()) {
            chunk = std::exchange(m_after, QByteArray());
            return EChunk::Data;
        }
        [[fallthrough]];
    case EPart::Done:
        chunk.clear();
        return EChunk::End;
    }
    return EChunk::End;
}

EChunk CRequestStream::Fail(const QString& why)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_part = EPart::Done;
    m_failure = why;
    return EChunk::Failed;
}

QString CRequestStream::Change()
{
    struct stat opened = {};
    if (::fstat(m_fd, &opened) < 0)
        return u"cannot read %1: %2"_qs.arg(m_fileName, ErrnoText());
    if (opened.st_size != m_fileSize)
        return u"%1 has %2 bytes now, %3 at Apply"_qs.arg(m_fileName)
            .arg(qint64(opened.st_size))
            .arg(m_fileSize);
    // Removed or replaced at its path counts as gone, even though the opened file still reads.
    struct stat named = {};
    if (::stat(m_path.constData(), &named) < 0 || named.st_dev != m_device ||
        named.st_ino != m_inode)
        return u"%1 is gone"_qs.arg(m_fileName);
    return QString();
}
