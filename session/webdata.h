#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One queued HTTP command. dwResult is its state while queued and its result code once
// finished; the numbers are what the console and the log see.
struct _STRU_WEB_DATA {
    QString strID;
    qint32 dwResult = 0;
    QString strAPIP;
    QString strAPSubnet;
    // Both as read when queued, in network byte order; empty when the text is no IPv4 address.
    std::optional<quint32> dwAPAddress;
    std::optional<quint32> dwAPSubnet;
    // The adapter the device was heard on (0: unknown): its route is looked for there first.
    std::uint32_t dwInterfaceIndex = 0;
    // The request before sending; emptied when sent, then the response accumulates here.
    QString strData;
    // 0: the current step has not started.
    std::uint32_t dwStartTick = 0;
    std::uint32_t dwTimeout = 0;
    // A file spliced into the request at send time (firmware upload); empty otherwise.
    QString strFileName;
    // Its bytes go in before this character of the request, as many as it had when the
    // request was built; -1: the request carries none.
    qsizetype nFileOffset = -1;
    qint64 nFileSize = -1;
    // The console that queued it: its answer is meant for that console and its device only.
    std::uint32_t dwConsole = 0;
};

// The values of dwResult.
enum EWebResult : qint32 {
    kWebRoutePending = 0,
    kWebConnectPending = 1,
    kWebConnected = 2,
    kWebReceiving = 3,
    kWebClosed = 4,
    kWebTimedOut = 5,
    kWebClosedWithError = 6,
    kWebUnreachable = 7,
};

inline constexpr std::uint32_t kRouteTimeout = 100000;
inline constexpr std::uint32_t kConnectTimeout = 10000;
inline constexpr std::uint32_t kResponseTimeout = 18000;

// Pending commands (index 0 is the head) and finished ones in completion order. Touched only
// on the user-interface thread.
extern QList<_STRU_WEB_DATA> G_mWebQueue;
extern QList<_STRU_WEB_DATA> G_mWebDone;
// The route to the device as the log shows it: empty for any local address, the local address
// the session socket binds to, or "ERROR" when the device cannot be reached.
extern QString G_mstrLocalIP;
