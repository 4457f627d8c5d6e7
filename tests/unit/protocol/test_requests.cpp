// Every request compared byte for byte with texts written out here from the device's request
// tables, never with text produced by the code under test.
#include "platform/codepage.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/sessionvalues.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

namespace
{

struct Queued {
    QString strID, strData, strAPIP, strAPSubnet, strFileName;
    qsizetype fileOffset = -1;
    qint64 fileSize = -1;
};

class FakeHost : public CCommandHost
{
public:
    QString DeviceIPAddress() const override { return u"192.168.77.10"_qs; }
    QString DeviceSubnetMask() const override { return u"255.255.255.0"_qs; }
    void CommandQueued(const QString& strID) override { notices.append(strID); }
    QStringList notices;
};

// admin:pass
const QByteArray kAuth = "YWRtaW46cGFzcw==";

const QByteArray kGetTail =
    "Accept-Language: en-us\r\n"
    "UA-CPU: x86\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR "
    "2.0.50727)\r\n"
    "Host: 192.168.77.10\r\n"
    "Connection: Keep-Alive\r\n"
    "Authorization: Basic YWRtaW46cGFzcw==\r\n\r\n";

QByteArray StatusPageGet(const QByteArray& page)
{
    return "GET " + page +
           " HTTP/1.1\r\n"
           "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
           "application/x-shockwave-flash, */*\r\n"
           "Referer: http://192.168.77.10" +
           page + "\r\n" + kGetTail;
}

// REBOOT, SETUPPASSWORD, SETUPIPADDRESS and RESETDEFAULT share this header block.
QByteArray FormPost(const QByteArray& path, const QByteArray& refererPage, int length)
{
    return "POST " + path +
           " HTTP/1.1\r\n"
           "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
           "application/x-shockwave-flash, application/msword,*/*\r\n"
           "Referer: http://192.168.77.10" +
           refererPage +
           "\r\n"
           "Accept-Language: en-us\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n"
           "UA-CPU: x86\r\n"
           "Accept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; "
           ".NET CLR 2.0.50727)\r\n"
           "Host: 192.168.77.10\r\n"
           "content-Length: " +
           QByteArray::number(length) +
           "\r\n"
           "Connection: Keep-Alive\r\n"
           "Cache-Control: no-cache\r\n"
           "Authorization: Basic YWRtaW46cGFzcw==\r\n\r\n";
}

QByteArray RepeaterHeaders(int length)
{
    return "POST /goform/formStaDrvSetup HTTP/1.1\r\n"
           "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
           "application/x-shockwave-flash, application/vnd.ms-excel, application/msword, */*\r\n"
           "Referer: http://192.168.77.10/wanwisp.asp\r\n"
           "Accept-Language: zh-tw\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n"
           "Accept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
           "2.0.50727)\r\n"
           "Host: 192.168.77.10\r\n"
           "content-Length: " +
           QByteArray::number(length) +
           "\r\n"
           "Connection: Keep-Alive\r\n"
           "Cache-Control: no-cache\r\n"
           "Authorization: Basic YWRtaW46cGFzcw==\r\n\r\n";
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void statusPageGets();
    void siteSurvey();
    void rebootAndFactoryReset();
    void setupPasswordEncodesFormCharacters();
    void setupIPAddressAndDhcpRange_data();
    void setupIPAddressAndDhcpRange();
    void repeaterBodies_data();
    void repeaterBodies();
    void repeaterLengthCountsCodePageBytes();
    void uploadLeavesRoomForEveryFileByte();
    void uploadOfUnreadableFile();
    void uploadNeverSizedByAHugeFile();
    void formValueEncoding();
    void nothingWithoutConsole();

private:
    QByteArray Only(const QString& expectedID);

    FakeHost m_host;
    QList<Queued> m_queued;
};

void TestRequests::init()
{
    G_mstrAuthorization = QString::fromLatin1(kAuth);
    m_host.notices.clear();
    m_queued.clear();
    SetCommandHost(&m_host);
    SetAddCommandForTest([this](const QString& id, const QString& data, const QString& ip,
                                const QString& subnet, const QString& file, qsizetype offset,
                                qint64 size) {
        m_queued.append({id, data, ip, subnet, file, offset, size});
    });
}

void TestRequests::cleanup()
{
    SetCommandHost(nullptr);
    SetAddCommandForTest({});
}

// The single queued command: keyword, the console's address and its notice checked here.
QByteArray TestRequests::Only(const QString& expectedID)
{
    if (m_queued.size() != 1) {
        qWarning("expected one command, got %d", int(m_queued.size()));
        return QByteArray();
    }
    const Queued& q = m_queued.first();
    if (q.strID != expectedID || q.strAPIP != u"192.168.77.10"_qs ||
        q.strAPSubnet != u"255.255.255.0"_qs || m_host.notices != QStringList{expectedID})
        return "wrong record for " + expectedID.toLatin1();
    if (expectedID != u"UPLOAD"_qs && !q.strFileName.isEmpty())
        return "file name set";
    return ToAnsi(q.strData);
}

void TestRequests::statusPageGets()
{
    QueueLanInfo({}, {});
    QCOMPARE(Only(u"LANINFO"_qs), StatusPageGet("/02_02_02_homenet.asp"));
    m_queued.clear(), m_host.notices.clear();
    QueueWanInfo({}, {});
    QCOMPARE(Only(u"WANINFO"_qs), StatusPageGet("/02_02_01_int.asp"));
    m_queued.clear(), m_host.notices.clear();
    QueueGetStatus({}, {});
    QCOMPARE(Only(u"GETSTATUS"_qs), StatusPageGet("/02_00_00_status.asp"));
}

void TestRequests::siteSurvey()
{
    QueueSiteSurvey();
    QCOMPARE(Only(u"SITESURVEY"_qs), "GET /wlsurvey2.asp HTTP/1.1\r\n"
                                     "Accept: */*\r\n" +
                                         kGetTail);
}

void TestRequests::rebootAndFactoryReset()
{
    QueueReboot({}, {});
    QCOMPARE(Only(u"REBOOT"_qs), FormPost("/goform/formReboot", "/03_03_reset.asp", 42) +
                                     "reset_flag=0&submit-url=%2F03_03_reset.asp");
    m_queued.clear(), m_host.notices.clear();
    QueueResetDefault({}, {});
    // The CR LF after the body is sent but not counted.
    QCOMPARE(Only(u"RESETDEFAULT"_qs),
             FormPost("/goform/mp", "/goform/mp", 36) + "command=COMMAND+flash+default&getID=\r\n");
}

void TestRequests::setupPasswordEncodesFormCharacters()
{
    QueueSetupPassword(u"old&pw"_qs, u"a=b&c+d%e"_qs);
    const QByteArray body = "oldpass=old%26pw&newpass=a%3Db%26c%2Bd%25e&confpass=a%3Db%26c%2Bd%25e"
                            "&save=Apply&submit-url=%2F01_01_02_passset.asp";
    QCOMPARE(Only(u"SETUPPASSWORD"_qs),
             FormPost("/goform/formPasswordSetup", "/01_01_02_passset.asp", 115) + body);
    QCOMPARE(body.size(), 115);

    // An ordinary password goes exactly as typed.
    m_queued.clear(), m_host.notices.clear();
    QueueSetupPassword(u"admin"_qs, u"Secret-1"_qs);
    QCOMPARE(Only(u"SETUPPASSWORD"_qs),
             FormPost("/goform/formPasswordSetup", "/01_01_02_passset.asp", 94) +
                 "oldpass=admin&newpass=Secret-1&confpass=Secret-1&save=Apply"
                 "&submit-url=%2F01_01_02_passset.asp");
}

void TestRequests::setupIPAddressAndDhcpRange_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("dhcp");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow(".100 starts at .101")
        << u"192.168.1.100"_qs << u"2"_qs
        << QByteArray("ip=192.168.1.100&mask=255.255.255.0&dhcp=2&dhcpRangeStart=192.168.1.101"
                      "&dhcpRangeEnd=192.168.1.199&submit-url=%2F01_03_00_homenet.asp");
    QTest::newRow(".199 ends at .198")
        << u"10.0.0.199"_qs << u"0"_qs
        << QByteArray("ip=10.0.0.199&mask=255.255.255.0&dhcp=0&dhcpRangeStart=10.0.0.100"
                      "&dhcpRangeEnd=10.0.0.198&submit-url=%2F01_03_00_homenet.asp");
    QTest::newRow("other .100-.199")
        << u"172.16.5.150"_qs << u"2"_qs
        << QByteArray("ip=172.16.5.150&mask=255.255.255.0&dhcp=2&dhcpRangeStart=172.16.5.100"
                      "&dhcpRangeEnd=172.16.5.199&submit-url=%2F01_03_00_homenet.asp");
    QTest::newRow(".1100 is not .100")
        << u"10.0.0.1100"_qs << u"0"_qs
        << QByteArray("ip=10.0.0.1100&mask=255.255.255.0&dhcp=0&dhcpRangeStart=10.0.0.100"
                      "&dhcpRangeEnd=10.0.0.199&submit-url=%2F01_03_00_homenet.asp");
    QTest::newRow("no dot") << u"abc"_qs << u"0"_qs
                            << QByteArray("ip=abc&mask=255.255.255.0&dhcp=0&dhcpRangeStart=.100"
                                          "&dhcpRangeEnd=.199&submit-url=%2F01_03_00_homenet.asp");
}

void TestRequests::setupIPAddressAndDhcpRange()
{
    QFETCH(QString, ip);
    QFETCH(QString, dhcp);
    QFETCH(QByteArray, body);
    QueueSetupIPAddress(ip, u"255.255.255.0"_qs, dhcp, u"ignored"_qs);
    QCOMPARE(Only(u"SETUPIPADDRESS"_qs),
             FormPost("/goform/formTcpipSetup", "/01_03_00_homenet.asp", int(body.size())) + body);
}

void TestRequests::repeaterBodies_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<int>("wepLength");
    QTest::addColumn<int>("wepFormat");
    QTest::addColumn<int>("pskFormat");
    QTest::addColumn<QByteArray>("body");

    // Key options of other security types must not leak into the form.
    QTest::newRow("none")
        << 0 << 1 << 1 << 1
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=0&stadrv_weplength=0"
               "&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2=&stadrv_wepformat2=0&key3="
               "&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0&stadrv_wpacipher=0&stadrv_pskformat="
               "0"
               "&stadrv_pskkey=&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WEP 128 hex")
        << 1 << 1 << 1 << 1
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=1&stadrv_weplength=1"
               "&stadrv_defaultkey=2&key1=k%26y%3D1&stadrv_wepformat1=1&key2=k2&stadrv_wepformat2=1"
               "&key3=k3&stadrv_wepformat3=1&key4=k4&stadrv_wepformat4=1&stadrv_wpacipher=0"
               "&stadrv_pskformat=0&stadrv_pskkey=&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WEP 128 ascii")
        << 1 << 1 << 0 << 0
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=1&stadrv_weplength=1"
               "&stadrv_defaultkey=2&key1=k%26y%3D1&stadrv_wepformat1=0&key2=k2&stadrv_wepformat2=0"
               "&key3=k3&stadrv_wepformat3=0&key4=k4&stadrv_wepformat4=0&stadrv_wpacipher=0"
               "&stadrv_pskformat=0&stadrv_pskkey=&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WEP 64 hex")
        << 1 << 0 << 1 << 0
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=1&stadrv_weplength=0"
               "&stadrv_defaultkey=2&key1=k%26y%3D1&stadrv_wepformat1=1&key2=k2&stadrv_wepformat2=1"
               "&key3=k3&stadrv_wepformat3=1&key4=k4&stadrv_wepformat4=1&stadrv_wpacipher=0"
               "&stadrv_pskformat=0&stadrv_pskkey=&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WEP 64 ascii, odd options")
        << 1 << 7 << 5 << 0
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=1&stadrv_weplength=0"
               "&stadrv_defaultkey=2&key1=k%26y%3D1&stadrv_wepformat1=0&key2=k2&stadrv_wepformat2=0"
               "&key3=k3&stadrv_wepformat3=0&key4=k4&stadrv_wepformat4=0&stadrv_wpacipher=0"
               "&stadrv_pskformat=0&stadrv_pskkey=&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WPA hex key")
        << 2 << 1 << 1 << 1
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=2&stadrv_weplength=0"
               "&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2=&stadrv_wepformat2=0&key3="
               "&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0&stadrv_wpacipher=1&stadrv_pskformat="
               "1"
               "&stadrv_pskkey=p%26ss%3Dw%2Brd%25&submit-url=%2Fwanwisp.asp");
    QTest::newRow("WPA passphrase")
        << 2 << 0 << 0 << 3
        << QByteArray(
               "stadrv_type=3&stadrv_ssid=Home "
               "Net&stadrv_chan=6&stadrv_encrypttype=2&stadrv_weplength=0"
               "&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2=&stadrv_wepformat2=0&key3="
               "&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0&stadrv_wpacipher=1&stadrv_pskformat="
               "0"
               "&stadrv_pskkey=p%26ss%3Dw%2Brd%25&submit-url=%2Fwanwisp.asp");
    QTest::newRow("unknown security: empty body") << 3 << 0 << 0 << 0 << QByteArray();
}

void TestRequests::repeaterBodies()
{
    QFETCH(int, security);
    QFETCH(int, wepLength);
    QFETCH(int, wepFormat);
    QFETCH(int, pskFormat);
    QFETCH(QByteArray, body);
    QueueRepeater(2, u"Home Net"_qs, u"6"_qs, security, 1, pskFormat, u"p&ss=w+rd%"_qs, wepLength,
                  wepFormat, u"k&y=1"_qs, u"k2"_qs, u"k3"_qs, u"k4"_qs);
    QCOMPARE(Only(u"REPEATER"_qs), RepeaterHeaders(int(body.size())) + body + "\r\n");
}

void TestRequests::repeaterLengthCountsCodePageBytes()
{
    // "é" is one byte on the wire, the Euro sign too (0x80); both count once.
    QueueRepeater(0, u"Caf\u00e9 \u20ac"_qs, u"11"_qs, 0, 0, 0, {}, 0, 0, {}, {}, {}, {});
    const QByteArray body =
        "stadrv_type=3&stadrv_ssid=Caf\xe9 \x80&stadrv_chan=11&stadrv_encrypttype=0"
        "&stadrv_weplength=0&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2="
        "&stadrv_wepformat2=0&key3=&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0"
        "&stadrv_wpacipher=0&stadrv_pskformat=0&stadrv_pskkey=&submit-url=%2Fwanwisp.asp";
    QCOMPARE(body.size(), 290);
    QCOMPARE(Only(u"REPEATER"_qs), RepeaterHeaders(290) + body + "\r\n");
}

void TestRequests::uploadLeavesRoomForEveryFileByte()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"my firmware.img"_qs);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("AB\0\0CD\0E", 8));
    }
    QueueUpload({}, {}, path);
    const QByteArray body =
        "-----------------------------7d9222c1903be\r\n"
        "Content-Disposition: form-data; name=\"binary\"; filename=\"c:\\1.bin\"\r\n"
        "Content-Type: text/plain\r\n\r\n"
        "\r\n-----------------------------7d9222c1903be\r\n"
        "Content-Disposition: form-data; name=\"submit-url\"\r\n\r\n03_02_firmware_b.asp"
        "\r\n-----------------------------7d9222c1903be\r\n"
        "Content-Disposition: form-data; name=\"main_menu_number\"\r\n\r\n4"
        "\r\n-----------------------------7d9222c1903be\r\n"
        "Content-Disposition: form-data; name=\"sub_menu_number\"\r\n\r\n2"
        "\r\n-----------------------------7d9222c1903be\r\n"
        "Content-Disposition: form-data; name=\"third_menu_number\"\r\n\r\n0"
        "\r\n-----------------------------7d9222c1903be--\r\n";
    const QByteArray expected =
        "POST /goform/formUpload HTTP/1.1\r\n"
        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
        "application/x-shockwave-flash, application/msword, */*\r\n"
        "Referer: http://192.168.77.10/03_02_firmware_b.asp\r\n"
        "Accept-Language: en-us\r\n"
        "Content-Type: multipart/form-data; boundary=---------------------------7d9222c1903be\r\n"
        "UA-CPU: x86\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET "
        "CLR 2.0.50727)\r\n"
        "Host: 192.168.77.10\r\n"
        "content-Length: 633\r\n"
        "Connection: Keep-Alive\r\n"
        "Cache-Control: no-cache\r\n"
        "Authorization: Basic YWRtaW46cGFzcw==\r\n\r\n" +
        body;
    // The length counts the file's eight bytes, which go in after the part's header.
    QCOMPARE(body.size(), 633 - 8);
    QCOMPARE(Only(u"UPLOAD"_qs), expected);
    QCOMPARE(m_queued.first().strFileName, path);
    QCOMPARE(m_queued.first().fileSize, 8);
    QCOMPARE(m_queued.first().fileOffset,
             expected.indexOf("Content-Type: text/plain\r\n\r\n") + 28);
}

void TestRequests::uploadOfUnreadableFile()
{
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath(u"missing.bin"_qs), dir.path(), QString()}) {
        m_queued.clear(), m_host.notices.clear();
        QueueUpload({}, {}, path);
        const QByteArray request = Only(u"UPLOAD"_qs);
        QVERIFY(request.contains("content-Length: 625\r\n"));
        QVERIFY(request.contains("Content-Type: text/plain\r\n\r\n\r\n---"));
        QVERIFY(!request.contains('?'));
        QCOMPARE(m_queued.first().strFileName, path);
        QCOMPARE(m_queued.first().fileOffset, -1);
    }
}

void TestRequests::uploadNeverSizedByAHugeFile()
{
    // A size no image has gets no file part, and the length does not count it.
    qsizetype offset = 0;
    for (const qint64 size :
         {kMaxFirmwareBytes + 1, qint64(1) << 40, std::numeric_limits<qint64>::max()}) {
        QVERIFY(UploadRequest(u"192.168.77.10", u"YWRtaW46cGFzcw==", size, offset)
                    .contains(u"content-Length: 625\r\n"));
        QCOMPARE(offset, -1);
    }
    QVERIFY(UploadRequest(u"192.168.77.10", u"YWRtaW46cGFzcw==", 3, offset)
                .contains(u"content-Length: 628\r\n"));
    QVERIFY(offset > 0);
}

void TestRequests::formValueEncoding()
{
    QCOMPARE(EncodeFormValue(u"a&b=c+d%e f/g?h#\u00e9"), u"a%26b%3Dc%2Bd%25e f/g?h#\u00e9"_qs);
    QCOMPARE(EncodeFormValue(u"%26"), u"%2526"_qs);
    QCOMPARE(EncodeFormValue(u""), QString());
}

void TestRequests::nothingWithoutConsole()
{
    SetCommandHost(nullptr);
    QueueLanInfo({}, {});
    QueueRepeater(0, u"x"_qs, u"1"_qs, 0, 0, 0, {}, 0, 0, {}, {}, {}, {});
    QueueUpload({}, {}, u"/nonexistent"_qs);
    QVERIFY(m_queued.isEmpty());
}

QTEST_GUILESS_MAIN(TestRequests)
#include "test_requests.moc"
