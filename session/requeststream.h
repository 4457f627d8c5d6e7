#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <sys/types.h>

// What a request sent in chunks yields at each step.
enum class EChunk { Data, End, Failed };

// A request with a file inside, as it goes on the wire: the text before the file, the file's
// bytes a chunk at a time, the text after it. Only the chunk at hand is ever held, whatever the
// file's size. The file must keep the size it had when the request was built until its last
// chunk has been read: an image that changed on the way is never sent as if it were whole.
class CRequestStream
{
public:
    static constexpr qsizetype kChunkBytes = 256 * 1024;

    // `request` is the text without the file, whose `fileSize` bytes go in before the character
    // at `fileOffset`. The text becomes code-page bytes and ends at a zero byte, as any request.
    CRequestStream(QStringView request, qsizetype fileOffset, const QString& fileName,
                   qint64 fileSize, qsizetype chunkBytes = kChunkBytes);
    ~CRequestStream();
    CRequestStream(const CRequestStream&) = delete;
    CRequestStream& operator=(const CRequestStream&) = delete;

    // false, with the reason in Failure(), when the file is gone or no longer of its size.
    [[nodiscard]] bool Open();
    // The next bytes in `chunk` (its content is replaced, its buffer reused) while Data.
    [[nodiscard]] EChunk Next(QByteArray& chunk);
    // All the bytes the request has on the wire.
    qint64 Size() const { return m_size; }
    QString Failure() const { return m_failure; }

private:
    enum class EPart { Before, File, After, Done };
    EChunk Fail(const QString& why);
    // Empty while the file at its path is the one opened, of the size it had at Apply; else
    // what became of it.
    QString Change();

    QByteArray m_before;
    QByteArray m_after;
    QString m_fileName;
    QByteArray m_path;
    qint64 m_fileSize = 0;
    qint64 m_fileRead = 0;
    qint64 m_size = 0;
    qsizetype m_chunkBytes;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    EPart m_part = EPart::Before;
    QString m_failure;
};
