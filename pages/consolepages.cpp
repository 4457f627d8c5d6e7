#include "pages/consolepages.h"

CTarn_IPAddrDlg* G_pIPAddrDlg = nullptr;
CTarn_ModeDlg* G_pModeDlg = nullptr;
CTarn_SummaryDlg* G_pSummaryDlg = nullptr;
CTarn_SurveyDlg* G_pSurveyDlg = nullptr;
CTarn_PasswordDlg* G_pPasswordDlg = nullptr;
CTarn_SaveDlg* G_pSaveDlg = nullptr;
CTarn_MessageDlg* G_pMessageDlg = nullptr;
CTarn_Progress* G_pProgress = nullptr;
