#include "platform/diaglog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray ReadLog()
{
    QFile file(LogFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestDiagLog : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(LogFilePath()); }
    void entryBytes();
    void appendsAndKeepsWhatWasThere();
    void privateToTheUser();
    void unwritableIsIgnored();
    void linkIsNotFollowed_data();
    void linkIsNotFollowed();
    void onlyOwnRegularFile();
};

void TestDiagLog::entryBytes()
{
    QCOMPARE(LogFilePath(), QDir::homePath() + u"/breviklog.txt"_qs);
    WriteLog("GET / HTTP/1.1\r\nHost: x\r\n");
    WriteLog(QByteArrayView("cut\0here", 8));
    const QByteArray log = ReadLog();
    static const QRegularExpression shape(
        u"^(\\d\\d):(\\d\\d):(\\d\\d)\r\nGET / HTTP/1.1\r\nHost: x\r\n\r\n\r\n"
        "\\d\\d:\\d\\d:\\d\\d\r\ncut\r\n\r\n$"_qs);
    const auto match = shape.match(QString::fromLatin1(log));
    QVERIFY2(match.hasMatch(), log.constData());
    QVERIFY(match.captured(1).toInt() < 24);
    QVERIFY(match.captured(2).toInt() < 60);
}

void TestDiagLog::appendsAndKeepsWhatWasThere()
{
    {
        QFile file(LogFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier run\r\n");
    }
    WriteLog("one");
    WriteLog("two");
    const QByteArray log = ReadLog();
    QVERIFY(log.startsWith("earlier run\r\n"));
    QVERIFY(log.contains("\r\none\r\n\r\n"));
    QVERIFY(log.endsWith("\r\ntwo\r\n\r\n"));
    QVERIFY(log.indexOf("one") < log.indexOf("two"));
}

void TestDiagLog::privateToTheUser()
{
    WriteLog("G_mstrPassword=secret");
    struct stat info{};
    QCOMPARE(::stat(QFile::encodeName(LogFilePath()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);

    // A log left readable by an older build is tightened on the next entry.
    QFile::remove(LogFilePath());
    {
        QFile file(LogFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ::chmod(QFile::encodeName(LogFilePath()).constData(), 0644);
    WriteLog("x");
    QCOMPARE(::stat(QFile::encodeName(LogFilePath()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void TestDiagLog::unwritableIsIgnored()
{
    // A directory where the file should be: opening fails, nothing else happens.
    QVERIFY(QDir().mkpath(LogFilePath()));
    WriteLog("lost quietly");
    QVERIFY(QFileInfo(LogFilePath()).isDir());
    QDir().rmdir(LogFilePath());
}

void TestDiagLog::linkIsNotFollowed_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("hard");
    QTest::newRow("to a file") << true << false;
    QTest::newRow("dangling") << false << false;
    // Same owner, a regular file: only its second name tells it apart.
    QTest::newRow("hard link") << true << true;
}

void TestDiagLog::linkIsNotFollowed()
{
    // Whoever can put a link in the home directory must not get the password written, or a
    // file of theirs created, elsewhere.
    QFETCH(bool, targetExists);
    QFETCH(bool, hard);
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString target = elsewhere.filePath(u"target"_qs);
    if (targetExists) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("theirs");
    }
    if (hard) {
        if (::link(QFile::encodeName(target).constData(),
                   QFile::encodeName(LogFilePath()).constData()) != 0)
            QSKIP("no hard link across these folders");
    } else {
        QVERIFY(QFile::link(target, LogFilePath()));
    }
    WriteLog("G_mstrPassword=secret");
    if (!hard)
        QCOMPARE(QFileInfo(LogFilePath()).symLinkTarget(), target);
    QCOMPARE(QFileInfo::exists(target), targetExists);
    if (targetExists) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("theirs"));
    }
    QFile::remove(LogFilePath());
}

void TestDiagLog::onlyOwnRegularFile()
{
    // A pipe would block the program on its first entry; it is left alone at once.
    const QByteArray path = QFile::encodeName(LogFilePath());
    QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    WriteLog("not into a pipe");
    struct stat info {
    };
    QCOMPARE(::lstat(path.constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
    QFile::remove(LogFilePath());

    // Another user's file at the path: not written, not re-permissioned.
    {
        QFile file(LogFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("theirs");
    }
    ::chmod(path.constData(), 0644);
    if (::chown(path.constData(), ::geteuid() + 1, ::getegid()) != 0)
        QSKIP("changing a file's owner needs root; the private test namespace gives it");
    WriteLog("G_mstrPassword=secret");
    QCOMPARE(ReadLog(), QByteArray("theirs"));
    QCOMPARE(::stat(path.constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0644u);
    QFile::remove(LogFilePath());
}

QTEST_GUILESS_MAIN(TestDiagLog)
#include "test_diaglog.moc"
