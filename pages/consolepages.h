#pragma once

class CTarn_IPAddrDlg;
class CTarn_MessageDlg;
class CTarn_ModeDlg;
class CTarn_PasswordDlg;
class CTarn_Progress;
class CTarn_SaveDlg;
class CTarn_SummaryDlg;
class CTarn_SurveyDlg;

// The console's pages and dialogs, made and destroyed by the console; null while no console
// lives. The pages and the console's result dispatch reach each other through these.
extern CTarn_IPAddrDlg* G_pIPAddrDlg;
extern CTarn_ModeDlg* G_pModeDlg;
extern CTarn_SummaryDlg* G_pSummaryDlg;
extern CTarn_SurveyDlg* G_pSurveyDlg;
extern CTarn_PasswordDlg* G_pPasswordDlg;
extern CTarn_SaveDlg* G_pSaveDlg;
extern CTarn_MessageDlg* G_pMessageDlg;
extern CTarn_Progress* G_pProgress;
