#pragma once

#include "protocol/requests.h"

#include <QString>
#include <QStringView>

// What the wireless page's Connect makes of the chosen network and the typed key, apart from
// the widgets.
namespace Survey
{

// 5 or 13 characters of any kind, or 10 or 26 hexadecimal digits.
bool IsValidWepKey(QStringView key);
// 8 to 63 characters of any kind, or 64 hexadecimal digits.
bool IsValidPreSharedKey(QStringView key);

struct ConnectDecision {
    // Queue the repeater settings below.
    bool send = false;
    // Else the message to show; 0 for none (no network name to connect to).
    int messageId = 0;
    RepeaterSettings settings;
};

// `keyword` is the security keyword of the network ("NONE", "WEP", "TKIP", "AES", ...), `key`
// the key as typed (not trimmed), `defaultKeyIndex` the chosen WEP key slot (0 to 3).
ConnectDecision DecideConnect(QStringView keyword, const QString& ssid, const QString& channel,
                              const QString& key, int defaultKeyIndex);

} // namespace Survey
