#include "protocol/requests.h"

#include "platform/codepage.h"

#include <initializer_list>

namespace
{

constexpr QStringView kAcceptImg = u"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                   u"application/x-shockwave-flash, */*\r\n";
constexpr QStringView kAcceptWord = u"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                    u"application/x-shockwave-flash, application/msword,*/*\r\n";
constexpr QStringView kAcceptWordSpaced =
    u"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    u"application/x-shockwave-flash, application/msword, */*\r\n";
constexpr QStringView kAcceptExcel =
    u"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    u"application/x-shockwave-flash, application/vnd.ms-excel, application/msword, */*\r\n";
constexpr QStringView kAcceptAny = u"Accept: */*\r\n";
constexpr QStringView kLangEn = u"Accept-Language: en-us\r\n";
constexpr QStringView kLangTw = u"Accept-Language: zh-tw\r\n";
constexpr QStringView kFormType = u"Content-Type: application/x-www-form-urlencoded\r\n";
constexpr QStringView kMultipartType =
    u"Content-Type: multipart/form-data; boundary=---------------------------7d9222c1903be\r\n";
constexpr QStringView kUaCpu = u"UA-CPU: x86\r\n";
constexpr QStringView kEncoding = u"Accept-Encoding: gzip, deflate\r\n";
constexpr QStringView kUserAgent7 =
    u"User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; "
    u".NET CLR 2.0.50727)\r\n";
constexpr QStringView kUserAgent6 =
    u"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n";
constexpr QStringView kKeepAlive = u"Connection: Keep-Alive\r\n";
constexpr QStringView kNoCache = u"Cache-Control: no-cache\r\n";
constexpr QStringView kCrLf = u"\r\n";

constexpr QStringView kBoundaryLine = u"-----------------------------7d9222c1903be";

QString Join(std::initializer_list<QStringView> pieces)
{
    qsizetype size = 0;
    for (QStringView piece : pieces)
        size += piece.size();
    QString text;
    text.reserve(size);
    for (QStringView piece : pieces)
        text += piece;
    return text;
}

// The pieces that carry the device's address, the body's length and the credentials.
struct Variable {
    // `unseenBytes`: bytes of the body that are not in `body`.
    Variable(QStringView host, QStringView authorization, QStringView refererPage,
             QStringView body = {}, qint64 unseenBytes = 0)
        : host(Join({u"Host: ", host, kCrLf})),
          referer(Join({u"Referer: http://", host, refererPage, kCrLf})),
          // The device reads exactly this many bytes: count them as they go on the wire.
          length(QStringLiteral("content-Length: %1\r\n").arg(ToAnsi(body).size() + unseenBytes)),
          auth(Join({u"Authorization: Basic ", authorization, u"\r\n\r\n"}))
    {
    }
    QString host;
    QString referer;
    QString length;
    QString auth; // its blank line ends the header block
};

QString StatusPageRequest(QStringView requestLine, QStringView page, QStringView host,
                          QStringView authorization)
{
    const Variable v(host, authorization, page);
    return Join({requestLine, kAcceptImg, v.referer, kLangEn, kUaCpu, kEncoding, kUserAgent7,
                 v.host, kKeepAlive, v.auth});
}

QString FormPostRequest(QStringView requestLine, QStringView refererPage, QStringView host,
                        QStringView authorization, QStringView body, QStringView trailer = {})
{
    const Variable v(host, authorization, refererPage, body);
    return Join({requestLine, kAcceptWord, v.referer, kLangEn, kFormType, kUaCpu, kEncoding,
                 kUserAgent7, v.host, v.length, kKeepAlive, kNoCache, v.auth, body, trailer});
}

QString Number(int value)
{
    return QString::number(value);
}

} // namespace

QString EncodeFormValue(QStringView value)
{
    QString encoded;
    encoded.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'%':
            encoded += u"%25";
            break;
        case u'&':
            encoded += u"%26";
            break;
        case u'+':
            encoded += u"%2B";
            break;
        case u'=':
            encoded += u"%3D";
            break;
        default:
            encoded += c;
            break;
        }
    }
    return encoded;
}

void DhcpRangeFor(QStringView ipAddress, QString& rangeStart, QString& rangeEnd)
{
    const qsizetype lastDot = ipAddress.lastIndexOf(u'.');
    const QStringView prefix = lastDot < 0 ? QStringView() : ipAddress.first(lastDot);
    if (ipAddress.endsWith(u".100")) {
        rangeStart = Join({prefix, u".101"});
        rangeEnd = Join({prefix, u".199"});
    } else if (ipAddress.endsWith(u".199")) {
        rangeStart = Join({prefix, u".100"});
        rangeEnd = Join({prefix, u".198"});
    } else {
        rangeStart = Join({prefix, u".100"});
        rangeEnd = Join({prefix, u".199"});
    }
}

QString RepeaterBody(const RepeaterSettings& s)
{
    QString encryptType, wepLength, defaultKey, wepFormat, wpaCipher, pskFormat, pskKey;
    QString keys[4];
    switch (s.securityType) {
    case 0:
        encryptType = u"0"_qs;
        wepLength = defaultKey = wepFormat = wpaCipher = pskFormat = u"0"_qs;
        break;
    case 1:
        encryptType = u"1"_qs;
        wepLength = s.wepKeyLength == 1 ? u"1"_qs : u"0"_qs;
        defaultKey = Number(s.defaultKeyIndex);
        wepFormat = s.wepKeyFormat == 1 ? u"1"_qs : u"0"_qs;
        for (int i = 0; i < 4; ++i)
            keys[i] = EncodeFormValue(s.wepKeys[i]);
        wpaCipher = pskFormat = u"0"_qs;
        break;
    case 2:
        encryptType = u"2"_qs;
        wepLength = defaultKey = wepFormat = u"0"_qs;
        wpaCipher = Number(s.wpaCipher);
        pskFormat = s.pskFormat == 1 ? u"1"_qs : u"0"_qs;
        pskKey = EncodeFormValue(s.pskKey);
        break;
    default:
        // The device knows no other form; the request still goes, with an empty body.
        return QString();
    }
    return Join({u"stadrv_type=3&stadrv_ssid=",
                 EncodeFormValue(s.ssid),
                 u"&stadrv_chan=",
                 EncodeFormValue(s.channel),
                 u"&stadrv_encrypttype=",
                 encryptType,
                 u"&stadrv_weplength=",
                 wepLength,
                 u"&stadrv_defaultkey=",
                 defaultKey,
                 u"&key1=",
                 keys[0],
                 u"&stadrv_wepformat1=",
                 wepFormat,
                 u"&key2=",
                 keys[1],
                 u"&stadrv_wepformat2=",
                 wepFormat,
                 u"&key3=",
                 keys[2],
                 u"&stadrv_wepformat3=",
                 wepFormat,
                 u"&key4=",
                 keys[3],
                 u"&stadrv_wepformat4=",
                 wepFormat,
                 u"&stadrv_wpacipher=",
                 wpaCipher,
                 u"&stadrv_pskformat=",
                 pskFormat,
                 u"&stadrv_pskkey=",
                 pskKey,
                 u"&submit-url=%2Fwanwisp.asp"});
}

namespace
{

// The upload body before the file's place and after it.
QString UploadBodyBefore()
{
    // The device only accepts the file name its own upload page sends, whatever the file is.
    return Join({kBoundaryLine, kCrLf,
                 u"Content-Disposition: form-data; name=\"binary\"; filename=\"c:\\1.bin\"\r\n",
                 u"Content-Type: text/plain\r\n\r\n"});
}

QString UploadBodyAfter()
{
    const auto field = [](QStringView name, QStringView value) {
        return Join({kCrLf, kBoundaryLine, kCrLf, u"Content-Disposition: form-data; name=\"", name,
                     u"\"\r\n\r\n", value});
    };
    return Join({field(u"submit-url", u"03_02_firmware_b.asp"), field(u"main_menu_number", u"4"),
                 field(u"sub_menu_number", u"2"), field(u"third_menu_number", u"0"), kCrLf,
                 kBoundaryLine, u"--\r\n"});
}

} // namespace

QString LanInfoRequest(QStringView host, QStringView authorization)
{
    return StatusPageRequest(u"GET /02_02_02_homenet.asp HTTP/1.1\r\n", u"/02_02_02_homenet.asp",
                             host, authorization);
}

QString WanInfoRequest(QStringView host, QStringView authorization)
{
    return StatusPageRequest(u"GET /02_02_01_int.asp HTTP/1.1\r\n", u"/02_02_01_int.asp", host,
                             authorization);
}

QString GetStatusRequest(QStringView host, QStringView authorization)
{
    return StatusPageRequest(u"GET /02_00_00_status.asp HTTP/1.1\r\n", u"/02_00_00_status.asp",
                             host, authorization);
}

QString SiteSurveyRequest(QStringView host, QStringView authorization)
{
    const Variable v(host, authorization, {});
    return Join({u"GET /wlsurvey2.asp HTTP/1.1\r\n", kAcceptAny, kLangEn, kUaCpu, kEncoding,
                 kUserAgent7, v.host, kKeepAlive, v.auth});
}

QString RepeaterRequest(QStringView host, QStringView authorization,
                        const RepeaterSettings& settings)
{
    const QString body = RepeaterBody(settings);
    const Variable v(host, authorization, u"/wanwisp.asp", body);
    return Join({u"POST /goform/formStaDrvSetup HTTP/1.1\r\n", kAcceptExcel, v.referer, kLangTw,
                 kFormType, kEncoding, kUserAgent6, v.host, v.length, kKeepAlive, kNoCache, v.auth,
                 body, kCrLf});
}

QString SetupIPAddressRequest(QStringView host, QStringView authorization, QStringView ipAddress,
                              QStringView subnetMask, QStringView dhcp)
{
    QString rangeStart, rangeEnd;
    DhcpRangeFor(ipAddress, rangeStart, rangeEnd);
    const QString body = Join({u"ip=", EncodeFormValue(ipAddress), u"&mask=",
                               EncodeFormValue(subnetMask), u"&dhcp=", EncodeFormValue(dhcp),
                               u"&dhcpRangeStart=", EncodeFormValue(rangeStart), u"&dhcpRangeEnd=",
                               EncodeFormValue(rangeEnd), u"&submit-url=%2F01_03_00_homenet.asp"});
    return FormPostRequest(u"POST /goform/formTcpipSetup HTTP/1.1\r\n", u"/01_03_00_homenet.asp",
                           host, authorization, body);
}

QString UploadRequest(QStringView host, QStringView authorization, qint64 fileSize,
                      qsizetype& fileOffset)
{
    const bool withFile = fileSize >= 0 && fileSize <= kMaxFirmwareBytes;
    const QString before = UploadBodyBefore();
    const QString after = UploadBodyAfter();
    const Variable v(host, authorization, u"/03_02_firmware_b.asp", Join({before, after}),
                     withFile ? fileSize : 0);
    QString request = Join({u"POST /goform/formUpload HTTP/1.1\r\n", kAcceptWordSpaced, v.referer,
                            kLangEn, kMultipartType, kUaCpu, kEncoding, kUserAgent7, v.host,
                            v.length, kKeepAlive, kNoCache, v.auth, before});
    // The image is never held as text: the session reads it into place as it sends.
    fileOffset = withFile ? request.size() : -1;
    return request + after;
}

QString SetupPasswordRequest(QStringView host, QStringView authorization, QStringView oldPassword,
                             QStringView newPassword)
{
    const QString encodedNew = EncodeFormValue(newPassword);
    const QString body =
        Join({u"oldpass=", EncodeFormValue(oldPassword), u"&newpass=", encodedNew, u"&confpass=",
              encodedNew, u"&save=Apply&submit-url=%2F01_01_02_passset.asp"});
    return FormPostRequest(u"POST /goform/formPasswordSetup HTTP/1.1\r\n", u"/01_01_02_passset.asp",
                           host, authorization, body);
}

QString RebootRequest(QStringView host, QStringView authorization)
{
    return FormPostRequest(u"POST /goform/formReboot HTTP/1.1\r\n", u"/03_03_reset.asp", host,
                           authorization, u"reset_flag=0&submit-url=%2F03_03_reset.asp");
}

QString ResetDefaultRequest(QStringView host, QStringView authorization)
{
    return FormPostRequest(u"POST /goform/mp HTTP/1.1\r\n", u"/goform/mp", host, authorization,
                           u"command=COMMAND+flash+default&getID=", kCrLf);
}
