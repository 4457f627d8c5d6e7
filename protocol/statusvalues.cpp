#include "protocol/statusvalues.h"

QString G_mstrLanMACAddress;
QString G_mstrFirmwareVersion;
QString G_mstrLanIPAddress;
QString G_mstrLanSubnetMask;
QString G_mstrDHCPServer;
QString G_mstrWirelessMode;
QString G_mstrWirelessSecurity;
QString G_mstrWanIPAddress;
QString G_mstrSSID;
QString G_mstrWanSubnetMask;
QString G_mstrGateway;
QString G_mstrPrimaryDNS;
QString G_mstrSecondaryDNS;

void ClearStatusValues()
{
    for (QString* value :
         {&G_mstrLanMACAddress, &G_mstrFirmwareVersion, &G_mstrLanIPAddress, &G_mstrLanSubnetMask,
          &G_mstrDHCPServer, &G_mstrWirelessMode, &G_mstrWirelessSecurity, &G_mstrWanIPAddress,
          &G_mstrSSID, &G_mstrWanSubnetMask, &G_mstrGateway, &G_mstrPrimaryDNS,
          &G_mstrSecondaryDNS})
        value->clear();
}
