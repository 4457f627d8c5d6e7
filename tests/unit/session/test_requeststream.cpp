#include "platform/codepage.h"
#include "session/requeststream.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>

namespace
{

// The request as it was sent whole: a question mark for each byte of the file, the whole text
// turned into bytes and cut at a zero byte, the file then copied over the question marks.
QByteArray WholeRequest(const QString& request, qsizetype offset, const QByteArray& file)
{
    QByteArray bytes =
        ToAnsi(request.left(offset) + QString(file.size(), u'?') + request.mid(offset));
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    const qsizetype at = ToAnsi(request.left(offset)).size();
    if (at < bytes.size())
        bytes.replace(at, file.size(), file);
    return bytes;
}

QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7919) >> 3);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

const QString kHead = u"POST /goform/formUpload HTTP/1.1\r\ncontent-Length: 9\r\n\r\n--b\r\n"_qs;
const QString kTail = u"\r\n--b--\r\n"_qs;
constexpr qsizetype kChunk = 64;

} // namespace

class TestRequestStream : public QObject
{
    Q_OBJECT
private slots:
    void streamedEqualsWhole_data();
    void streamedEqualsWhole();
    void fileChangingOnTheWayFails_data();
    void fileChangingOnTheWayFails();
    void notTheFileOfApplyIsRefusedAtOpen_data();
    void notTheFileOfApplyIsRefusedAtOpen();

private:
    QTemporaryDir m_dir;
};

void TestRequestStream::streamedEqualsWhole_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("after");
    QTest::addColumn<qsizetype>("chunk");
    QTest::newRow("three chunks and a bit") << kHead << Pattern(3 * kChunk + 5) << kTail << kChunk;
    QTest::newRow("exactly one chunk") << kHead << Pattern(kChunk) << kTail << kChunk;
    QTest::newRow("empty file") << kHead << QByteArray() << kTail << kChunk;
    QTest::newRow("zero bytes and question marks in the file")
        << kHead << QByteArray("\0\0??\0?\r\n", 8) << kTail << qsizetype(3);
    QTest::newRow("code page text around the file")
        << u"--\u00fc\u20ac\u4e00\r\n"_qs << Pattern(100) << u"\r\n\u00e9--"_qs << kChunk;
    // A request ends at its first zero byte, whatever follows.
    QTest::newRow("zero character after the file")
        << kHead << Pattern(100) << u"\r\n--b\u0000--\r\n"_qs << kChunk;
    QTest::newRow("zero character before the file")
        << u"POST\u0000\r\n"_qs << Pattern(100) << kTail << kChunk;
}

void TestRequestStream::streamedEqualsWhole()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, file);
    QFETCH(QString, after);
    QFETCH(qsizetype, chunk);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(WriteFile(path, file));
    CRequestStream stream(before + after, before.size(), path, file.size(), chunk);
    QVERIFY(stream.Open());
    QByteArray streamed;
    QByteArray next;
    qsizetype largest = 0;
    EChunk outcome;
    while ((outcome = stream.Next(next)) == EChunk::Data) {
        QVERIFY(!next.isEmpty());
        streamed += next;
        largest = std::max(largest, next.size());
    }
    QCOMPARE(outcome, EChunk::End);
    QCOMPARE(stream.Next(next), EChunk::End);
    QCOMPARE(streamed, WholeRequest(before + after, before.size(), file));
    QCOMPARE(stream.Size(), streamed.size());
    // Only a chunk of the file at a time; the texts around it come whole.
    QVERIFY(largest <= std::max({chunk, ToAnsi(before).size(), ToAnsi(after).size()}));
}

void TestRequestStream::fileChangingOnTheWayFails_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("shrinks") << u"shrinks"_qs;
    QTest::newRow("shrinks to the chunks read") << u"cut"_qs;
    QTest::newRow("grows") << u"grows"_qs;
    QTest::newRow("removed") << u"removed"_qs;
    QTest::newRow("replaced by one of the same size") << u"replaced"_qs;
}

// After the first chunk of the file the file changes: the stream stops there. What it gave
// before is the start of the request, nothing after it is ever given.
void TestRequestStream::fileChangingOnTheWayFails()
{
    QFETCH(QString, change);
    const QString path = m_dir.filePath(change);
    const QByteArray content = Pattern(10 * kChunk);
    QVERIFY(WriteFile(path, content));
    CRequestStream stream(kHead + kTail, kHead.size(), path, content.size(), kChunk);
    QVERIFY(stream.Open());
    QByteArray streamed;
    QByteArray next;
    QCOMPARE(stream.Next(next), EChunk::Data); // the text before the file
    streamed += next;
    QCOMPARE(stream.Next(next), EChunk::Data); // the file's first chunk
    streamed += next;

    if (change == u"shrinks")
        QVERIFY(QFile::resize(path, 5 * kChunk));
    else if (change == u"cut")
        QVERIFY(QFile::resize(path, kChunk));
    else if (change == u"grows")
        QVERIFY(QFile::resize(path, 11 * kChunk));
    else if (change == u"removed")
        QVERIFY(QFile::remove(path));
    else {
        const QString other = path + u".new"_qs;
        QVERIFY(WriteFile(other, content));
        QCOMPARE(
            std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()),
            0);
    }

    EChunk outcome;
    while ((outcome = stream.Next(next)) == EChunk::Data)
        streamed += next;
    QCOMPARE(outcome, EChunk::Failed);
    QCOMPARE(stream.Next(next), EChunk::Failed);
    QVERIFY(!stream.Failure().isEmpty());
    const QByteArray whole = WholeRequest(kHead + kTail, kHead.size(), content);
    QVERIFY(streamed.size() < whole.size() - kTail.size());
    QCOMPARE(streamed, whole.left(streamed.size()));
}

void TestRequestStream::notTheFileOfApplyIsRefusedAtOpen_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("gone") << u"gone"_qs;
    QTest::newRow("other size") << u"size"_qs;
    // Opening a pipe would wait for a writer for ever.
    QTest::newRow("pipe in its place") << u"pipe"_qs;
}

void TestRequestStream::notTheFileOfApplyIsRefusedAtOpen()
{
    QFETCH(QString, change);
    const QString path = m_dir.filePath(u"open-"_qs + change);
    if (change == u"size")
        QVERIFY(WriteFile(path, Pattern(99)));
    else if (change == u"pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    CRequestStream stream(kHead + kTail, kHead.size(), path, 100, kChunk);
    QVERIFY(!stream.Open());
    QVERIFY(!stream.Failure().isEmpty());
    QByteArray next;
    QCOMPARE(stream.Next(next), EChunk::Failed);
}

QTEST_GUILESS_MAIN(TestRequestStream)
#include "test_requeststream.moc"
