#include "rules/surveykeys.h"

namespace Survey
{
namespace
{

constexpr int kPreSharedKeyMessage = 201;
constexpr int kWepKeyMessage = 202;
constexpr int kUnsupportedMessage = 203;
constexpr int kEmptyKeyMessage = 208;

constexpr int kNoSecurity = 0;
constexpr int kWep = 1;
constexpr int kWpa = 2;

bool IsHexadecimal(QStringView key)
{
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

bool Is(QStringView keyword, QStringView name)
{
    return keyword.compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

bool IsValidWepKey(QStringView key)
{
    switch (key.size()) {
    case 5:
    case 13:
        return true;
    case 10:
    case 26:
        return IsHexadecimal(key);
    default:
        return false;
    }
}

bool IsValidPreSharedKey(QStringView key)
{
    if (key.size() == 64)
        return IsHexadecimal(key);
    return key.size() >= 8 && key.size() <= 63;
}

ConnectDecision DecideConnect(QStringView keyword, const QString& ssid, const QString& channel,
                              const QString& key, int defaultKeyIndex)
{
    ConnectDecision decision;
    RepeaterSettings& s = decision.settings;
    s.ssid = ssid.trimmed();
    s.channel = channel;
    if (s.ssid.isEmpty())
        return decision;
    const qsizetype length = key.size();

    if (Is(keyword, u"NONE")) {
        s.securityType = kNoSecurity;
        decision.send = true;
    } else if (Is(keyword, u"WEP")) {
        if (!IsValidWepKey(key)) {
            decision.messageId = length == 0 ? kEmptyKeyMessage : kWepKeyMessage;
            return decision;
        }
        s.securityType = kWep;
        s.wepKeyFormat = length == 5 || length == 13 ? 0 : 1;
        s.wepKeyLength = length == 5 || length == 10 ? 0 : 1;
        s.defaultKeyIndex = defaultKeyIndex;
        for (QString& slot : s.wepKeys)
            slot = key;
        decision.send = true;
    } else if (Is(keyword, u"TKIP") || Is(keyword, u"AES")) {
        if (!IsValidPreSharedKey(key)) {
            decision.messageId = length == 0 ? kEmptyKeyMessage : kPreSharedKeyMessage;
            return decision;
        }
        s.securityType = kWpa;
        s.pskFormat = length == 64 ? 1 : 0;
        s.wpaCipher = Is(keyword, u"AES") ? 1 : 0;
        s.pskKey = key;
        decision.send = true;
    } else {
        decision.messageId = kUnsupportedMessage;
    }
    return decision;
}

} // namespace Survey
