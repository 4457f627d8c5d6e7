#pragma once

#include <QString>
#include <functional>

// The ten device commands. Each builder composes its request for the device of the current
// console, queues it on the web session and lets the console know, which runs its result timer.
// Without a console (no device chosen) a builder does nothing.

// What the builders need from the console that hosts them. The console is a widget; this keeps
// the builders free of widgets.
class CCommandHost
{
public:
    virtual ~CCommandHost() = default;
    virtual QString DeviceIPAddress() const = 0;
    virtual QString DeviceSubnetMask() const = 0;
    // Called after every queued command with its keyword.
    virtual void CommandQueued(const QString& strID) = 0;
};

// The console registers itself while it lives.
void SetCommandHost(CCommandHost* host);
CCommandHost* CommandHost();

// Where the builders hand their commands; by default the web session's AddCommand. Tests
// replace it to see what is queued; an empty function restores the default.
using AddCommandFunction = std::function<void(
    const QString& strID, const QString& strData, const QString& strAPIP,
    const QString& strAPSubnet, const QString& strFileName, qsizetype fileOffset, qint64 fileSize)>;
void SetAddCommandForTest(AddCommandFunction addCommand);

// The arguments that the requests do not use are kept so that callers read as the device's
// pages do; every caller passes empty texts.
void QueueLanInfo(const QString& unused1, const QString& unused2);
void QueueWanInfo(const QString& unused1, const QString& unused2);
void QueueGetStatus(const QString& unused1, const QString& unused2);
void QueueSiteSurvey();
void QueueRepeater(int defaultKeyIndex, const QString& ssid, const QString& channel,
                   int securityType, int wpaCipher, int pskFormat, const QString& pskKey,
                   int wepKeyLength, int wepKeyFormat, const QString& wepKey1,
                   const QString& wepKey2, const QString& wepKey3, const QString& wepKey4);
// `dhcp` is "2" (the device hands out addresses) or "0".
void QueueSetupIPAddress(const QString& ipAddress, const QString& subnetMask, const QString& dhcp,
                         const QString& unused);
void QueueUpload(const QString& unused1, const QString& unused2, const QString& filePath);
void QueueSetupPassword(const QString& oldPassword, const QString& newPassword);
void QueueReboot(const QString& unused1, const QString& unused2);
void QueueResetDefault(const QString& unused1, const QString& unused2);

// Size of the firmware file as the upload sends it; -1 when it cannot be opened for reading or
// is larger than any image (the whole upload is held in memory: a file of gigabytes picked by
// mistake would exhaust it).
qint64 FirmwareFileSize(const QString& filePath);
