#pragma once

#include "discovery/discoverytypes.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>

// The job queue (index 0 is the head; a scan runs while it is not empty) and the devices found
// by the current scan.
extern QList<_STRU_UDP_DATA> G_mUDPQueue;
extern CFoundDevices G_mAPList;

// Starts a scan: queues a job of three queries 750 ms apart and empties the device list.
void QueueDiscovery(const QString& strTag);

void RemoveHeadJob();
void ClearDeviceList();

// Whether a wait of intervalMs that began at tick lastTick is over at tick now. The counter
// wraps after 49.7 days; the elapsed time is taken modulo 2^32 so the wrap costs nothing.
bool IsWaitOver(std::uint32_t now, std::uint32_t lastTick, std::uint32_t intervalMs);

// One pacing tick for the head job: sendQuery gets the query's first field when a query is due.
void AdvanceDiscoveryQueue(const std::function<void(QByteArrayView firstField)>& sendQuery);
