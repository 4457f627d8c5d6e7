#pragma once

#include <QList>
#include <QString>

#include <array>
#include <cstdint>

// One discovery job: a broadcast query sent nSendsLeft more times, dwIntervalMs or more apart.
struct _STRU_UDP_DATA {
    QString strTag;
    std::int32_t nType = 0;
    std::array<char, 1024> byData{};
    std::int32_t nParam = 0;
    // Tick of the last send; 0 means no wait pending.
    std::uint32_t dwLastTick = 0;
    std::int32_t nSendsLeft = 0;
    std::uint32_t dwIntervalMs = 0;
};

// One found device, as its discovery reply described it.
struct _STRU_AP_INFO {
    QString strModel;
    QString strMAC;
    QString strIP;
    QString strSubnet;
    QString strUserName;
    QString strPassword;
    // The adapter (interface index) its reply arrived on; 0 when unknown.
    std::uint32_t dwInterfaceIndex = 0;

    friend bool operator==(const _STRU_AP_INFO&, const _STRU_AP_INFO&) = default;
};

// The job queue (index 0 is the head; a scan runs while it is not empty) and the devices found
// by the current scan, in order of first answer.
extern QList<_STRU_UDP_DATA> G_mUDPQueue;
extern QList<_STRU_AP_INFO> G_mAPList;
