#pragma once

#include <QString>

#include <functional>
#include <vector>

// What the query sender needs to know of one network adapter.
struct SAdapterInfo {
    int index = 0;
    QString name;
    bool isUp = false;
    bool isRunning = false;
    bool hasIPv4 = false;
    bool isEthernetOrWifi = false;
};

// A broadcast to 255.255.255.255 leaves only by the adapter of the default route (or fails
// without one), so the query goes out on each of these instead: up, IPv4, Ethernet or 802.11.
std::vector<int> SelectDiscoveryAdapters(const std::vector<SAdapterInfo>& adapters);

// The machine's adapters, read without privileges.
std::vector<SAdapterInfo> ReadSystemAdapters();

// Interface indexes to send the query on; tests put a fake in its place.
using AdapterSource = std::function<std::vector<int>()>;
std::vector<int> ListDiscoveryAdapters();
