#pragma once

#include <QString>
#include <QStringView>

// The complete HTTP requests the wizard sends to the device, composed as wide text (the session
// converts them to the code page when it sends). The device's embedded web server expects
// exactly the shapes of the browser it was built against, header order included, so these are
// built from fixed pieces and nothing else composes requests.
//
// `host` is the device's dotted address; `authorization` the Base64 Basic credentials.

// What the wireless page hands over for a repeater connect; see RepeaterBody for how the
// security type and key options choose the form.
struct RepeaterSettings {
    int defaultKeyIndex = 0;
    QString ssid;
    QString channel;
    int securityType = 0; // 0 none, 1 WEP, 2 WPA pre-shared key
    int wpaCipher = 0;
    int pskFormat = 0;
    QString pskKey;
    int wepKeyLength = 0;
    int wepKeyFormat = 0;
    QString wepKeys[4];
};

// Form values go into the bodies as typed, except the four characters that would change how
// the device splits the form: "%", "&", "=" and "+" are percent-encoded.
QString EncodeFormValue(QStringView value);

// The device's DHCP range for a new LAN address: .101-.199 for an address ending in ".100",
// .100-.198 for one ending in ".199", else .100-.199, in the address's first three octets.
void DhcpRangeFor(QStringView ipAddress, QString& rangeStart, QString& rangeEnd);

QString RepeaterBody(const RepeaterSettings& settings);

QString LanInfoRequest(QStringView host, QStringView authorization);
QString WanInfoRequest(QStringView host, QStringView authorization);
QString GetStatusRequest(QStringView host, QStringView authorization);
QString SiteSurveyRequest(QStringView host, QStringView authorization);
QString RepeaterRequest(QStringView host, QStringView authorization,
                        const RepeaterSettings& settings);
QString SetupIPAddressRequest(QStringView host, QStringView authorization, QStringView ipAddress,
                              QStringView subnetMask, QStringView dhcp);
// Far above any firmware image the device takes.
inline constexpr qint64 kMaxFirmwareBytes = qint64(256) * 1024 * 1024;
// The request without the file's fileSize bytes, which go in before the character at
// fileOffset when it is sent. No file part (fileOffset -1) when the size is negative or above
// kMaxFirmwareBytes.
QString UploadRequest(QStringView host, QStringView authorization, qint64 fileSize,
                      qsizetype& fileOffset);
QString SetupPasswordRequest(QStringView host, QStringView authorization, QStringView oldPassword,
                             QStringView newPassword);
QString RebootRequest(QStringView host, QStringView authorization);
QString ResetDefaultRequest(QStringView host, QStringView authorization);
