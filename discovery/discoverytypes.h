#pragma once

#include <QList>
#include <QSet>
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

// The devices found by one scan, in order of first answer, with their MAC keys beside them so
// that a reply is checked against the list in constant time however many have answered.
class CFoundDevices
{
public:
    // No real network holds this many of our repeaters; beyond it the replies are a flood.
    static constexpr qsizetype kMaxDevices = 256;

    CFoundDevices() = default;
    CFoundDevices& operator=(const QList<_STRU_AP_INFO>& devices);

    // Compared as the list always has: MAC keys equal ignoring case.
    bool ContainsMAC(const QString& mac) const;
    bool IsFull() const { return m_devices.size() >= kMaxDevices; }
    // Unchecked: the caller decides about duplicates and the bound.
    void append(const _STRU_AP_INFO& device);
    void clear();
    void squeeze() { m_devices.squeeze(); }

    qsizetype size() const { return m_devices.size(); }
    bool isEmpty() const { return m_devices.isEmpty(); }
    const _STRU_AP_INFO& operator[](qsizetype i) const { return m_devices[i]; }
    const _STRU_AP_INFO& first() const { return m_devices.first(); }
    QList<_STRU_AP_INFO>::const_iterator begin() const { return m_devices.cbegin(); }
    QList<_STRU_AP_INFO>::const_iterator end() const { return m_devices.cend(); }

private:
    static QString Key(const QString& mac) { return mac.toCaseFolded(); }

    QList<_STRU_AP_INFO> m_devices;
    QSet<QString> m_keys;
};
