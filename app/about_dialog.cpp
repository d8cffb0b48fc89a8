#include "app/about_dialog.h"

#include "app/program_resources.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(AboutDialogTemplate(), parent) {
    RegisterProgramResources();
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
