#include "discovery/discoveryreply.h"
#include "replyfactory.h"

#include <QElapsedTimer>
#include <QTest>

class TestDiscoveryReply : public QObject {
    Q_OBJECT
private slots:
    void queryIsByteExact();
    void macKey_data();
    void macKey();
    void lengthRule_data();
    void lengthRule();
    void fieldsAtTheirOffsets();
    void apostrophesAndCodePage();
    void unterminatedFieldRunsIntoTheNext();
    void lastFieldEndsWithTheDatagram();
    void modelRule_data();
    void modelRule();
    void sameDeviceIsListedOnce_data();
    void sameDeviceIsListedOnce();
    void devicesKeepTheirOrderOfArrival();
    void floodStopsAtTheBound();
};

void TestDiscoveryReply::queryIsByteExact()
{
    const QByteArray query = BuildDiscoveryQuery(QByteArrayView("\xFF\xFF\xFF\xFF\xFF\xFF", 6));
    QCOMPARE(query.toHex(' '), QByteArray("ff ff ff ff ff ff 42 52 45 56 49 4b 00 a0 ff 5f"));
    // The first field is the caller's, and only six bytes of it.
    QCOMPARE(BuildDiscoveryQuery("0123456789").left(12), QByteArray("012345BREVIK"));
    QCOMPARE(BuildDiscoveryQuery("").size(), 16);
}

void TestDiscoveryReply::macKey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("twelve digits") << u"001a2b3c4d5e"_qs << u"00:1A:2B:3C:4D:5E"_qs;
    QTest::newRow("eleven digits") << u"001A2B3C4D5"_qs << u"00:1A:2B:3C:4D:5"_qs;
    QTest::newRow("empty gives five colons") << QString() << u":::::"_qs;
    QTest::newRow("one digit") << u"0"_qs << u"0:::::"_qs;
    QTest::newRow("apostrophes dropped first") << u"00'1a'2b3c4d5e'"_qs << u"00:1A:2B:3C:4D:5E"_qs;
    QTest::newRow("longer text keeps its tail") << u"001a2b3c4d5e77"_qs
                                                << u"00:1A:2B:3C:4D:5E77"_qs;
    QTest::newRow("only ASCII letters change") << u"\u00e9abcdef0123"_qs
                                               << u"\u00e9A:BC:DE:F0:12:3"_qs;
}

void TestDiscoveryReply::macKey()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(MakeMACKey(text), key);
}

void TestDiscoveryReply::lengthRule_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("parsed");
    QTest::newRow("our own query") << 16 << false;
    QTest::newRow("423") << 423 << false;
    QTest::newRow("424") << 424 << true;
    QTest::newRow("1024") << 1024 << true;
    QTest::newRow("1025") << 1025 << false;
}

void TestDiscoveryReply::lengthRule()
{
    QFETCH(int, size);
    QFETCH(bool, parsed);
    const QByteArray reply = MakeReply({}, size);
    QCOMPARE(ParseDiscoveryReply(reply).has_value(), parsed);
    CFoundDevices devices;
    QCOMPARE(AcceptDiscoveryReply(reply, devices), parsed);
    QCOMPARE(devices.size(), parsed ? 1 : 0);
}

void TestDiscoveryReply::fieldsAtTheirOffsets()
{
    const auto device = ParseDiscoveryReply(MakeReply());
    QVERIFY(device);
    QCOMPARE(device->strModel, u"QZ-8061Tr"_qs);
    QCOMPARE(device->strMAC, u"00:1A:2B:3C:4D:5E"_qs);
    QCOMPARE(device->strIP, u"192.168.77.10"_qs);
    QCOMPARE(device->strSubnet, u"255.255.255.0"_qs);
    QCOMPARE(device->strUserName, u"admin"_qs);
    QCOMPARE(device->strPassword, u"secret"_qs);
}

void TestDiscoveryReply::apostrophesAndCodePage()
{
    ReplyFields fields;
    fields.ip = "192.'168.77.10";
    fields.subnet = "255.255.255.0'";
    fields.userName = "'ad'min'";
    fields.password = "it's\xE9\x80";
    fields.model = "QZ-8061Tr";
    const auto device = ParseDiscoveryReply(MakeReply(fields));
    QVERIFY(device);
    QCOMPARE(device->strIP, u"192.168.77.10"_qs);
    QCOMPARE(device->strSubnet, u"255.255.255.0"_qs);
    QCOMPARE(device->strUserName, u"admin"_qs);
    QCOMPARE(device->strPassword, u"its\u00e9\u20ac"_qs);
}

void TestDiscoveryReply::unterminatedFieldRunsIntoTheNext()
{
    ReplyFields fields;
    fields.userName = QByteArray(16, 'u');
    fields.ip = QByteArray(32, '1');
    const auto device = ParseDiscoveryReply(MakeReply(fields));
    QVERIFY(device);
    QCOMPARE(device->strUserName, QString(16, u'u') + u"secret"_qs);
    QCOMPARE(device->strIP, QString(32, u'1') + u"255.255.255.0"_qs);
    QCOMPARE(device->strSubnet, u"255.255.255.0"_qs);
}

void TestDiscoveryReply::lastFieldEndsWithTheDatagram()
{
    // Bytes beyond the datagram, as in a larger buffer, must never reach a field.
    for (const qsizetype size : {qsizetype(424), qsizetype(1024)}) {
        QByteArray buffer(2048, 'x');
        const QByteArray reply = MakeReply({}, size);
        buffer.replace(0, reply.size(), reply);
        buffer.replace(152, size - 152, QByteArray(size - 152, 'p'));
        const auto device = ParseDiscoveryReply(QByteArrayView(buffer).first(size));
        QVERIFY(device);
        QCOMPARE(device->strPassword, QString(size - 152, u'p'));
        QCOMPARE(device->strUserName, u"admin"_qs);
    }
}

void TestDiscoveryReply::modelRule_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exact") << QByteArray("QZ-8061Tr") << true;
    QTest::newRow("CR LF after it") << QByteArray("QZ-8061Tr\r\n") << true;
    QTest::newRow("CR and LF anywhere") << QByteArray("\nQZ-80\r61Tr\r") << true;
    QTest::newRow("lower case") << QByteArray("qz-8061Tr") << false;
    QTest::newRow("trailing blank") << QByteArray("QZ-8061Tr ") << false;
    QTest::newRow("foreign model") << QByteArray("QZ-8060") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("longer") << QByteArray("QZ-8061Tr2") << false;
}

void TestDiscoveryReply::modelRule()
{
    QFETCH(QByteArray, model);
    QFETCH(bool, accepted);
    ReplyFields fields;
    fields.model = model;
    CFoundDevices devices;
    QCOMPARE(AcceptDiscoveryReply(MakeReply(fields), devices), accepted);
    QCOMPARE(devices.size(), accepted ? 1 : 0);
    if (accepted)
        QCOMPARE(devices.first().strModel, u"QZ-8061Tr"_qs);
}

void TestDiscoveryReply::sameDeviceIsListedOnce_data()
{
    QTest::addColumn<QByteArray>("secondMAC");
    QTest::newRow("same text") << QByteArray("001a2b3c4d5e");
    QTest::newRow("other letter case") << QByteArray("001A2B3C4D5E");
    QTest::newRow("apostrophes inside") << QByteArray("00'1A2B'3c4d5e");
}

void TestDiscoveryReply::sameDeviceIsListedOnce()
{
    QFETCH(QByteArray, secondMAC);
    CFoundDevices devices;
    QVERIFY(AcceptDiscoveryReply(MakeReply(), devices, 3));
    ReplyFields second;
    second.mac = secondMAC;
    second.ip = "192.168.77.99";
    // Heard again on another adapter: the first adapter stays the one to ask.
    QVERIFY(!AcceptDiscoveryReply(MakeReply(second), devices, 5));
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices.first().strIP, u"192.168.77.10"_qs);
    QCOMPARE(devices.first().dwInterfaceIndex, 3u);
}

void TestDiscoveryReply::devicesKeepTheirOrderOfArrival()
{
    CFoundDevices devices;
    ReplyFields foreign;
    foreign.mac = "00AA00AA00AA";
    foreign.model = "XY-1";
    ReplyFields first;
    first.mac = "ffeeddccbbaa";
    ReplyFields second;
    second.mac = "00AA00AA00AA";
    // A foreign model is not remembered, so the same MAC of a device of ours still counts.
    QVERIFY(!AcceptDiscoveryReply(MakeReply(foreign), devices));
    QVERIFY(AcceptDiscoveryReply(MakeReply(first), devices));
    QVERIFY(AcceptDiscoveryReply(MakeReply(second), devices));
    QCOMPARE(devices.size(), 2);
    QCOMPARE(devices[0].strMAC, u"FF:EE:DD:CC:BB:AA"_qs);
    QCOMPARE(devices[1].strMAC, u"00:AA:00:AA:00:AA"_qs);
}

namespace
{

QByteArray NumberedMAC(int n)
{
    return QByteArray::number(0x02'0000'0000'00LL + n, 16).rightJustified(12, '0');
}

} // namespace

void TestDiscoveryReply::floodStopsAtTheBound()
{
    CFoundDevices devices;
    ReplyFields fields;
    QElapsedTimer timer;
    timer.start();
    int accepted = 0;
    for (int n = 0; n < 20'000; ++n) {
        fields.mac = NumberedMAC(n);
        accepted += AcceptDiscoveryReply(MakeReply(fields), devices);
    }
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(accepted, int(CFoundDevices::kMaxDevices));
    QCOMPARE(devices.size(), CFoundDevices::kMaxDevices);
    // The first to answer keep their places.
    QCOMPARE(devices[0].strMAC, u"02:00:00:00:00:00"_qs);
    QCOMPARE(devices[255].strMAC, u"02:00:00:00:00:FF"_qs);
    QVERIFY2(elapsed < 2000, "each reply is compared with every listed device");

    // A new scan empties the list and its keys: the same devices are welcome again.
    devices.clear();
    fields.mac = NumberedMAC(255);
    QVERIFY(AcceptDiscoveryReply(MakeReply(fields), devices));
    fields.mac = NumberedMAC(255).toUpper();
    QVERIFY(!AcceptDiscoveryReply(MakeReply(fields), devices));
}

QTEST_GUILESS_MAIN(TestDiscoveryReply)
#include "test_discoveryreply.moc"
