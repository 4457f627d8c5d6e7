#pragma once

#include <QString>

// The device's settings as last read from its LAN, internet-side and status pages. Emptied at
// every login, filled by the scrapers, shown by the pages.
extern QString G_mstrLanMACAddress;
extern QString G_mstrFirmwareVersion;
extern QString G_mstrLanIPAddress;
extern QString G_mstrLanSubnetMask;
extern QString G_mstrDHCPServer;
extern QString G_mstrWirelessMode;
extern QString G_mstrWirelessSecurity;
extern QString G_mstrWanIPAddress;
extern QString G_mstrSSID;
extern QString G_mstrWanSubnetMask;
extern QString G_mstrGateway;
extern QString G_mstrPrimaryDNS;
extern QString G_mstrSecondaryDNS;

// Empties all thirteen, so that nothing of a previous device is shown.
void ClearStatusValues();
