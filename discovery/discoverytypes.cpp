#include "discovery/discoverytypes.h"

CFoundDevices& CFoundDevices::operator=(const QList<_STRU_AP_INFO>& devices)
{
    clear();
    for (const _STRU_AP_INFO& device : devices)
        append(device);
    return *this;
}

bool CFoundDevices::ContainsMAC(const QString& mac) const
{
    return m_keys.contains(Key(mac));
}

void CFoundDevices::append(const _STRU_AP_INFO& device)
{
    m_devices.append(device);
    m_keys.insert(Key(device.strMAC));
}

void CFoundDevices::clear()
{
    m_devices.clear();
    m_keys.clear();
}
