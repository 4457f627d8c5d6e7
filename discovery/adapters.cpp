#include "discovery/adapters.h"

#include <QNetworkInterface>

std::vector<int> SelectDiscoveryAdapters(const std::vector<SAdapterInfo>& adapters)
{
    std::vector<int> indexes;
    for (const SAdapterInfo& adapter : adapters) {
        if (adapter.index > 0 && adapter.isUp && adapter.isRunning && adapter.hasIPv4 &&
            adapter.isEthernetOrWifi)
            indexes.push_back(adapter.index);
    }
    return indexes;
}

std::vector<SAdapterInfo> ReadSystemAdapters()
{
    std::vector<SAdapterInfo> adapters;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        SAdapterInfo adapter;
        adapter.index = interface.index();
        adapter.name = interface.name();
        adapter.isUp = interface.flags().testFlag(QNetworkInterface::IsUp);
        adapter.isRunning = interface.flags().testFlag(QNetworkInterface::IsRunning);
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                adapter.hasIPv4 = true;
        }
        adapter.isEthernetOrWifi = interface.type() == QNetworkInterface::Ethernet ||
                                   interface.type() == QNetworkInterface::Ieee80211;
        adapters.push_back(adapter);
    }
    return adapters;
}

std::vector<int> ListDiscoveryAdapters()
{
    return SelectDiscoveryAdapters(ReadSystemAdapters());
}
