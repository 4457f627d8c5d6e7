#include "platform/netconfig_client.h"
#include "platform/netconfig_protocol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The wizard's end of the helper channel against stand-ins: a helper that answers late, and
// launchers that behave as pkexec does when it refuses, grants or waits for a password.
namespace {

// Speaks the helper's wire format; the first add is answered 400 ms late. A flush answers with
// the contexts deleted so far, so the test can see what the client sent behind its back.
constexpr char kFakeHelper[] = R"(#!/usr/bin/env python3
import socket, struct, time
REQUEST = struct.Struct("=10I")
REPLY = struct.Struct("=iII8sI200sI")
channel = socket.socket(fileno=0)
added, deleted = 0, []
while True:
    data = channel.recv(1024)
    if not data:
        break
    op, version, _, _, _, _, context, _, sequence, _ = REQUEST.unpack(data)
    error, answer, message = 0, 0, b""
    if op == 1:
        answer = version
    elif op == 2:
        added += 1
        answer = added
        if added == 1:
            time.sleep(0.4)
    elif op == 3:
        deleted.append(context)
    elif op == 6:
        message = ("deleted:" + ",".join(map(str, deleted))).encode()
    channel.send(REPLY.pack(error, answer, 0, b"", 0, message, sequence))
)";

QString WriteProgram(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

netconfig::HelperRequest Request(netconfig::HelperOp op)
{
    netconfig::HelperRequest request;
    request.op = std::uint32_t(op);
    return request;
}

} // namespace

class TestHelperClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void lateAnswerIsDroppedAndTheChannelStays();
    void launcherOutcomes_data();
    void launcherOutcomes();
    void cancelEndsTheWaitForAPassword();
    void onlyRootsOwnProgramIsTrusted_data();
    void onlyRootsOwnProgramIsTrusted();

private:
    QTemporaryDir m_dir;
    QString m_helper;
};

void TestHelperClient::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_helper = WriteProgram(m_dir, u"fake-helper"_qs, kFakeHelper);
    QVERIFY(!m_helper.isEmpty());
}

void TestHelperClient::lateAnswerIsDroppedAndTheChannelStays()
{
    netconfig::HelperClient client;
    std::string why;
    QVERIFY2(client.Start(m_helper.toStdString(), why), why.c_str());

    netconfig::HelperReply reply;
    const auto add = Request(netconfig::HelperOp::AddAddress);
    QVERIFY(!client.Call(add, reply, 150, why));
    QVERIFY2(why.find("does not answer") != std::string::npos, why.c_str());
    QVERIFY(client.Usable());

    // The next request gets its own answer, not the one that came late.
    QVERIFY2(client.Call(add, reply, 3000, why), why.c_str());
    QCOMPARE(reply.context, 2u);
    // The late add succeeded after all; nobody holds its context, so it was taken away.
    QVERIFY2(client.Call(Request(netconfig::HelperOp::FlushNeighbours), reply, 3000, why),
             why.c_str());
    QCOMPARE(QByteArray(reply.message), QByteArray("deleted:1"));
}

void TestHelperClient::launcherOutcomes_data()
{
    QTest::addColumn<QByteArray>("launcher");
    QTest::addColumn<int>("handshakeMs");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("reason");

    // pkexec's own words and exit codes.
    QTest::newRow("dismissed") << QByteArray("echo 'Error executing command as another user: "
                                             "Request dismissed' >&2; exit 126")
                               << 5000 << false << u"refused or cancelled: Error executing"_qs;
    QTest::newRow("no answer in time")
        << QByteArray("exec sleep 30") << 300 << false << u"not given in time"_qs;
    // Granted: pkexec runs the helper, which must find its socket as standard input.
    QTest::newRow("granted") << QByteArray("[ \"$1\" = --disable-internal-agent ] || exit 3\n"
                                           "shift; exec \"$@\"")
                             << 5000 << true << QString();
}

void TestHelperClient::launcherOutcomes()
{
    QFETCH(QByteArray, launcher);
    QFETCH(int, handshakeMs);
    QFETCH(bool, started);
    QFETCH(QString, reason);
    const QString path = WriteProgram(
        m_dir, u"pkexec-%1"_qs.arg(QLatin1StringView(QTest::currentDataTag())).replace(u' ', u'-'),
        "#!/bin/sh\n" + launcher + '\n');
    QVERIFY(!path.isEmpty());

    netconfig::HelperClient client;
    std::string why;
    QElapsedTimer clock;
    clock.start();
    const bool ok = client.Start(m_helper.toStdString(), netconfig::HelperLaunch::Pkexec,
                                 path.toStdString(), handshakeMs, why);
    QCOMPARE(ok, started);
    QCOMPARE(client.Usable(), started);
    QVERIFY2(QString::fromStdString(why).contains(reason), why.c_str());
    QVERIFY2(clock.elapsed() < handshakeMs + 4000, "a refusal is not sat out");
    if (started) {
        netconfig::HelperReply reply;
        QVERIFY2(client.Call(Request(netconfig::HelperOp::FlushNeighbours), reply, 3000, why),
                 why.c_str());
    } else {
        QCOMPARE(QString::fromStdString(client.Problem()), QString::fromStdString(why));
    }
}

void TestHelperClient::cancelEndsTheWaitForAPassword()
{
    const QString path = WriteProgram(m_dir, u"pkexec-waiting"_qs, "#!/bin/sh\nexec sleep 30\n");
    netconfig::HelperClient client;
    std::string why = "unset";
    std::thread canceller([&client] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        client.Cancel(true);
    });
    QElapsedTimer clock;
    clock.start();
    const bool ok = client.Start(m_helper.toStdString(), netconfig::HelperLaunch::Pkexec,
                                 path.toStdString(), netconfig::kPkexecHandshakeMs, why);
    canceller.join();
    QVERIFY(!ok);
    QVERIFY2(clock.elapsed() < 5000, "the wizard closes without waiting for the password");
    QVERIFY2(why.find("interrupted") != std::string::npos, why.c_str());

    const QString missing = m_dir.filePath(u"no-such-pkexec"_qs);
    client.Cancel(false);
    QVERIFY(!client.Start(m_helper.toStdString(), netconfig::HelperLaunch::Pkexec,
                          missing.toStdString(), 1000, why));
    QVERIFY2(why.find("install pkexec") != std::string::npos, why.c_str());
}

void TestHelperClient::onlyRootsOwnProgramIsTrusted_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<uint>("folderOwner");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<uint>("fileOwner");
    QTest::addColumn<bool>("viaLink");
    QTest::addColumn<bool>("trusted");
    const uint root = 0, other = 65534;
    QTest::newRow("root's alone") << 0755 << root << 0755 << root << false << true;
    QTest::newRow("by a link to it") << 0755 << root << 0755 << root << true << true;
    QTest::newRow("file of another user") << 0755 << root << 0755 << other << false << false;
    QTest::newRow("file the group can write") << 0755 << root << 0775 << root << false << false;
    QTest::newRow("folder of another user") << 0755 << other << 0755 << root << false << false;
    QTest::newRow("folder anyone can write") << 0777 << root << 0755 << root << false << false;
    // Others can add files there, but not replace root's.
    QTest::newRow("sticky folder") << 01777 << root << 0755 << root << false << true;
}

void TestHelperClient::onlyRootsOwnProgramIsTrusted()
{
    QFETCH(int, folderMode);
    QFETCH(uint, folderOwner);
    QFETCH(int, fileMode);
    QFETCH(uint, fileOwner);
    QFETCH(bool, viaLink);
    QFETCH(bool, trusted);
    if (::geteuid() != 0)
        QSKIP("owners can be given only by root");
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QByteArray folder = QFile::encodeName(base.filePath(u"libexec"_qs));
    const QByteArray program = folder + "/kelda-netconfig-helper";
    QVERIFY(::mkdir(folder.constData(), 0700) == 0);
    QVERIFY(!WriteProgram(base, u"libexec/kelda-netconfig-helper"_qs, "#!/bin/sh\n").isEmpty());
    QVERIFY(::chmod(program.constData(), mode_t(fileMode)) == 0 &&
            ::chown(program.constData(), fileOwner, 0) == 0);
    QVERIFY(::chmod(folder.constData(), mode_t(folderMode)) == 0 &&
            ::chown(folder.constData(), folderOwner, 0) == 0);
    QByteArray asked = program;
    if (viaLink) {
        asked = QFile::encodeName(base.filePath(u"link"_qs));
        QVERIFY(::symlink(program.constData(), asked.constData()) == 0);
    }
    std::string resolved;
    std::string why;
    QCOMPARE(netconfig::IsTrustedProgram(asked.toStdString(), resolved, why), trusted);
    QCOMPARE(why.empty(), trusted);
    if (trusted)
        QCOMPARE(QByteArray::fromStdString(resolved), program);
}

QTEST_GUILESS_MAIN(TestHelperClient)
#include "test_helperclient.moc"
