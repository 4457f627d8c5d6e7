#include "protocol/commands.h"

#include "protocol/requests.h"
#include "session/sessionvalues.h"
#include "session/webmanager.h"

#include <QFile>
#include <QFileInfo>

namespace
{

CCommandHost* g_host = nullptr;
AddCommandFunction g_addCommandForTest;

void Queue(const QString& strID, const QString& strData, const QString& strFileName = QString(),
           qsizetype fileOffset = -1, qint64 fileSize = -1)
{
    CCommandHost* host = g_host;
    if (g_addCommandForTest)
        g_addCommandForTest(strID, strData, host->DeviceIPAddress(), host->DeviceSubnetMask(),
                            strFileName, fileOffset, fileSize);
    else if (G_pWEBManager)
        G_pWEBManager->AddCommand(strID, strData, host->DeviceIPAddress(), host->DeviceSubnetMask(),
                                  strFileName, fileOffset, fileSize);
    host->CommandQueued(strID);
}

QString Host()
{
    return g_host->DeviceIPAddress();
}

} // namespace

void SetCommandHost(CCommandHost* host)
{
    g_host = host;
}

CCommandHost* CommandHost()
{
    return g_host;
}

void SetAddCommandForTest(AddCommandFunction addCommand)
{
    g_addCommandForTest = std::move(addCommand);
}

qint64 FirmwareFileSize(const QString& filePath)
{
    // Only a regular file: opening a pipe or a device could wait for ever.
    if (filePath.isEmpty() || !QFileInfo(filePath).isFile())
        return -1;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFirmwareBytes)
        return -1;
    return file.size();
}

void QueueLanInfo(const QString&, const QString&)
{
    if (g_host)
        Queue(u"LANINFO"_qs, LanInfoRequest(Host(), G_mstrAuthorization));
}

void QueueWanInfo(const QString&, const QString&)
{
    if (g_host)
        Queue(u"WANINFO"_qs, WanInfoRequest(Host(), G_mstrAuthorization));
}

void QueueGetStatus(const QString&, const QString&)
{
    if (g_host)
        Queue(u"GETSTATUS"_qs, GetStatusRequest(Host(), G_mstrAuthorization));
}

void QueueSiteSurvey()
{
    if (g_host)
        Queue(u"SITESURVEY"_qs, SiteSurveyRequest(Host(), G_mstrAuthorization));
}

void QueueRepeater(int defaultKeyIndex, const QString& ssid, const QString& channel,
                   int securityType, int wpaCipher, int pskFormat, const QString& pskKey,
                   int wepKeyLength, int wepKeyFormat, const QString& wepKey1,
                   const QString& wepKey2, const QString& wepKey3, const QString& wepKey4)
{
    if (!g_host)
        return;
    RepeaterSettings settings;
    settings.defaultKeyIndex = defaultKeyIndex;
    settings.ssid = ssid;
    settings.channel = channel;
    settings.securityType = securityType;
    settings.wpaCipher = wpaCipher;
    settings.pskFormat = pskFormat;
    settings.pskKey = pskKey;
    settings.wepKeyLength = wepKeyLength;
    settings.wepKeyFormat = wepKeyFormat;
    settings.wepKeys[0] = wepKey1;
    settings.wepKeys[1] = wepKey2;
    settings.wepKeys[2] = wepKey3;
    settings.wepKeys[3] = wepKey4;
    Queue(u"REPEATER"_qs, RepeaterRequest(Host(), G_mstrAuthorization, settings));
}

void QueueSetupIPAddress(const QString& ipAddress, const QString& subnetMask, const QString& dhcp,
                         const QString&)
{
    if (g_host)
        Queue(u"SETUPIPADDRESS"_qs,
              SetupIPAddressRequest(Host(), G_mstrAuthorization, ipAddress, subnetMask, dhcp));
}

void QueueUpload(const QString&, const QString&, const QString& filePath)
{
    if (!g_host)
        return;
    // The size is read once, here; the bytes when the request goes out.
    const qint64 size = FirmwareFileSize(filePath);
    qsizetype fileOffset = -1;
    const QString request = UploadRequest(Host(), G_mstrAuthorization, size, fileOffset);
    Queue(u"UPLOAD"_qs, request, filePath, fileOffset, size);
}

void QueueSetupPassword(const QString& oldPassword, const QString& newPassword)
{
    if (g_host)
        Queue(u"SETUPPASSWORD"_qs,
              SetupPasswordRequest(Host(), G_mstrAuthorization, oldPassword, newPassword));
}

void QueueReboot(const QString&, const QString&)
{
    if (g_host)
        Queue(u"REBOOT"_qs, RebootRequest(Host(), G_mstrAuthorization));
}

void QueueResetDefault(const QString&, const QString&)
{
    if (g_host)
        Queue(u"RESETDEFAULT"_qs, ResetDefaultRequest(Host(), G_mstrAuthorization));
}
