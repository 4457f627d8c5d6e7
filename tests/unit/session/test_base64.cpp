#include "platform/codepage.h"
#include "session/base64.h"

#include <QTest>

class TestBase64 : public QObject {
    Q_OBJECT
private slots:
    void vectors_data();
    void vectors();
    void everyHighByte();
};

void TestBase64::vectors_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    // RFC 4648, section 10
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("f") << u"f"_qs << u"Zg=="_qs;
    QTest::newRow("fo") << u"fo"_qs << u"Zm8="_qs;
    QTest::newRow("foo") << u"foo"_qs << u"Zm9v"_qs;
    QTest::newRow("foob") << u"foob"_qs << u"Zm9vYg=="_qs;
    QTest::newRow("fooba") << u"fooba"_qs << u"Zm9vYmE="_qs;
    QTest::newRow("foobar") << u"foobar"_qs << u"Zm9vYmFy"_qs;
    QTest::newRow("empty password keeps the colon") << u"admin:"_qs << u"YWRtaW46"_qs;
    QTest::newRow("accented, code page bytes") << u"admin:caf\u00e9"_qs << u"YWRtaW46Y2Fm6Q=="_qs;
    QTest::newRow("outside the code page") << u"a:\u0100"_qs << u"YTo/"_qs;
    QTest::newRow("stops at a zero") << QString(u"ab\0cd"_qs) << u"YWI="_qs;
    // 60 bytes: a long password must not be cut, or the device refuses the login.
    QTest::newRow("long credentials")
        << u"admin:"_qs + QString(54, u'x')
        << u"YWRtaW46eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4"_qs;
}

void TestBase64::vectors()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(EncodeBase64(input), expected);
}

void TestBase64::everyHighByte()
{
    // Bytes 128-255 reach the encoder as the code page's characters, not as UTF-8.
    QCOMPARE(EncodeBase64(FromAnsi("\xff\xfe\xfd")), u"//79"_qs);
    QCOMPARE(EncodeBase64(FromAnsi("\x80\x81\x82\xe9")), u"gIGC6Q=="_qs);
    QByteArray all;
    for (int b = 128; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(EncodeBase64(FromAnsi(all)).size(), 172);
}

QTEST_GUILESS_MAIN(TestBase64)
#include "test_base64.moc"
