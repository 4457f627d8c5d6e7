#include "session/sessionvalues.h"

QString G_mstrUserName;
QString G_mstrPassword;
QString G_mstrIPAddress;
QString G_mstrMACAddress;
QString G_mstrAuthorization;
quint32 G_mdwInterfaceIndex = 0;
