#include "app/globals.h"

COstrelDlg* G_pMainDlg = nullptr;
CSearchDlg* G_pSearchDlg = nullptr;
CTarnDlg* G_pTarnDlg = nullptr;
CUDPManager* G_pUDPManager = nullptr;
CWEBManager* G_pWEBManager = nullptr;

QString G_mstrUserName;
QString G_mstrPassword;
QString G_mstrIPAddress;
QString G_mstrMACAddress;
QString G_mstrAuthorization;
quint32 G_mdwInterfaceIndex = 0;
