#pragma once

#include <QString>

// Session values of the connected device, written together at Connect and never cleared.
extern QString G_mstrUserName;
extern QString G_mstrPassword;
extern QString G_mstrIPAddress;
extern QString G_mstrMACAddress;
extern QString G_mstrAuthorization;
// The adapter the connected device was heard on (interface index, 0: unknown).
extern quint32 G_mdwInterfaceIndex;
