#include "protocol/requests.h"
#include "rules/surveykeys.h"

#include <QTest>

namespace
{

QString Hex(int length)
{
    return u"0123456789abcdefABCDEF"_qs.repeated(3).left(length);
}

QString Letters(int length)
{
    return u"kelda-Net wörd&=%+"_qs.repeated(4).left(length);
}

constexpr int kNoMessage = 0;

} // namespace

class TestSurveyKeys : public QObject
{
    Q_OBJECT
private slots:
    void wepKeys_data();
    void wepKeys();
    void preSharedKeys_data();
    void preSharedKeys();
    void wepConnect_data();
    void wepConnect();
    void refusedConnects_data();
    void refusedConnects();
    void bodiesOfEachSecurity();
};

void TestSurveyKeys::wepKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("valid");
    for (int length : {0, 4, 5, 6, 9, 10, 11, 12, 13, 14, 25, 26, 27}) {
        const bool asciiLength = length == 5 || length == 13;
        const bool hexLength = length == 10 || length == 26;
        QTest::addRow("%d letters", length) << Letters(length) << asciiLength;
        QTest::addRow("%d hex digits", length) << Hex(length) << (asciiLength || hexLength);
    }
    QTest::newRow("10, one not hex") << Hex(9) + u'g' << false;
    QTest::newRow("26, one not hex") << u'G' + Hex(25) << false;
    QTest::newRow("10, a blank") << Hex(5) + u' ' + Hex(4) << false;
}

void TestSurveyKeys::wepKeys()
{
    QFETCH(QString, key);
    QTEST(Survey::IsValidWepKey(key), "valid");
}

void TestSurveyKeys::preSharedKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("valid");
    for (int length : {0, 1, 7, 8, 9, 62, 63, 65})
        QTest::addRow("%d characters", length) << Letters(length) << (length >= 8 && length <= 63);
    QTest::newRow("64 hex digits") << Hex(64) << true;
    QTest::newRow("64, one not hex") << Hex(63) + u'x' << false;
    QTest::newRow("64 letters") << Letters(64) << false;
    QTest::newRow("65 hex digits") << Hex(65) << false;
}

void TestSurveyKeys::preSharedKeys()
{
    QFETCH(QString, key);
    QTEST(Survey::IsValidPreSharedKey(key), "valid");
}

void TestSurveyKeys::wepConnect_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("keyFormat");
    QTest::newRow("5: 64-bit ASCII") << Letters(5) << 0 << 0;
    QTest::newRow("10: 64-bit hex") << Hex(10) << 0 << 1;
    QTest::newRow("13: 128-bit ASCII") << Letters(13) << 1 << 0;
    QTest::newRow("26: 128-bit hex") << Hex(26) << 1 << 1;
    // Five hex digits are five characters, not a hex key.
    QTest::newRow("5 hex digits: ASCII") << Hex(5) << 0 << 0;
}

void TestSurveyKeys::wepConnect()
{
    QFETCH(QString, key);
    for (int index = 0; index < 4; ++index) {
        const Survey::ConnectDecision d =
            Survey::DecideConnect(u"wep", u"OldWep"_qs, u"6"_qs, key, index);
        QVERIFY(d.send);
        QCOMPARE(d.settings.securityType, 1);
        QTEST(d.settings.wepKeyLength, "keyLength");
        QTEST(d.settings.wepKeyFormat, "keyFormat");
        QCOMPARE(d.settings.defaultKeyIndex, index);
        for (const QString& slot : d.settings.wepKeys)
            QCOMPARE(slot, key);
        QCOMPARE(d.settings.pskKey, QString());
        QCOMPARE(d.settings.wpaCipher, 0);
        QCOMPARE(d.settings.pskFormat, 0);
    }
}

void TestSurveyKeys::refusedConnects_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("message");
    QTest::newRow("WEP, empty key") << u"WEP"_qs << u"Net"_qs << QString() << 208;
    QTest::newRow("WEP, 10 not hex") << u"WEP"_qs << u"Net"_qs << Letters(10) << 202;
    QTest::newRow("WEP, 6") << u"WEP"_qs << u"Net"_qs << Letters(6) << 202;
    QTest::newRow("AES, empty key") << u"AES"_qs << u"Net"_qs << QString() << 208;
    QTest::newRow("TKIP, 7") << u"TKIP"_qs << u"Net"_qs << Letters(7) << 201;
    QTest::newRow("AES, 64 not hex") << u"AES"_qs << u"Net"_qs << Letters(64) << 201;
    QTest::newRow("unknown security") << u"Unknown"_qs << u"Net"_qs << Letters(8) << 203;
    QTest::newRow("empty keyword") << QString() << u"Net"_qs << QString() << 203;
    // A network without a name: nothing is sent and nothing said, whatever else is wrong.
    QTest::newRow("blank SSID") << u"AES"_qs << u" "_qs << QString() << kNoMessage;
    QTest::newRow("blank SSID, unknown") << u"Unknown"_qs << u" \t"_qs << QString() << kNoMessage;
}

void TestSurveyKeys::refusedConnects()
{
    QFETCH(QString, keyword);
    QFETCH(QString, ssid);
    QFETCH(QString, key);
    const Survey::ConnectDecision d = Survey::DecideConnect(keyword, ssid, u"1"_qs, key, 0);
    QVERIFY(!d.send);
    QTEST(d.messageId, "message");
}

void TestSurveyKeys::bodiesOfEachSecurity()
{
    // What reaches the device, from the page's decision through the form builder.
    const QString tail = u"&submit-url=%2Fwanwisp.asp"_qs;
    const QString noWep = u"&stadrv_weplength=0&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0"
                          u"&key2=&stadrv_wepformat2=0&key3=&stadrv_wepformat3=0&key4="
                          u"&stadrv_wepformat4=0"_qs;

    Survey::ConnectDecision d =
        Survey::DecideConnect(u"NONE", u"  Cafe Open "_qs, u"1"_qs, u"ignored"_qs, 3);
    QVERIFY(d.send);
    QCOMPARE(RepeaterBody(d.settings),
             u"stadrv_type=3&stadrv_ssid=Cafe Open&stadrv_chan=1&stadrv_encrypttype=0"_qs + noWep +
                 u"&stadrv_wpacipher=0&stadrv_pskformat=0&stadrv_pskkey="_qs + tail);

    d = Survey::DecideConnect(u"WEP", u"OldWep"_qs, u"6"_qs, u"12345"_qs, 2);
    QCOMPARE(RepeaterBody(d.settings),
             u"stadrv_type=3&stadrv_ssid=OldWep&stadrv_chan=6&stadrv_encrypttype=1"
             u"&stadrv_weplength=0&stadrv_defaultkey=2&key1=12345&stadrv_wepformat1=0"
             u"&key2=12345&stadrv_wepformat2=0&key3=12345&stadrv_wepformat3=0&key4=12345"
             u"&stadrv_wepformat4=0&stadrv_wpacipher=0&stadrv_pskformat=0&stadrv_pskkey="_qs +
                 tail);

    // The typed key goes untrimmed; the builder encodes what would split the form.
    d = Survey::DecideConnect(u"aes", u"Office"_qs, u"3"_qs, u" p&ss=w%rd+1 "_qs, 0);
    QCOMPARE(d.settings.pskKey, u" p&ss=w%rd+1 "_qs);
    QCOMPARE(RepeaterBody(d.settings),
             u"stadrv_type=3&stadrv_ssid=Office&stadrv_chan=3&stadrv_encrypttype=2"_qs + noWep +
                 u"&stadrv_wpacipher=1&stadrv_pskformat=0&stadrv_pskkey= p%26ss%3Dw%25rd%2B1 "_qs +
                 tail);

    d = Survey::DecideConnect(u"TKIP", u"Home"_qs, u"11"_qs, Hex(64), 0);
    QCOMPARE(d.settings.wpaCipher, 0);
    QCOMPARE(d.settings.pskFormat, 1);
    QVERIFY(RepeaterBody(d.settings)
                .endsWith(u"&stadrv_wpacipher=0&stadrv_pskformat=1&stadrv_pskkey="_qs + Hex(64) +
                          tail));
}

QTEST_GUILESS_MAIN(TestSurveyKeys)
#include "test_surveykeys.moc"
