#pragma once

#include <QString>

class COstrelDlg;
class CSearchDlg;
class CTarnDlg;
class CUDPManager;
class CWEBManager;

// Program-wide objects, owned by the frame; null while they do not exist.
extern COstrelDlg* G_pMainDlg;
extern CSearchDlg* G_pSearchDlg;
extern CTarnDlg* G_pTarnDlg;
extern CUDPManager* G_pUDPManager;
extern CWEBManager* G_pWEBManager;

// Session values of the connected device, written together at Connect and never cleared.
extern QString G_mstrUserName;
extern QString G_mstrPassword;
extern QString G_mstrIPAddress;
extern QString G_mstrMACAddress;
extern QString G_mstrAuthorization;
// The adapter the connected device was heard on (interface index, 0: unknown).
extern quint32 G_mdwInterfaceIndex;

// The only model this wizard drives.
inline constexpr char16_t kSupportedModel[] = u"QZ-8061Tr";
