#include "app/tallydesk_app.h"

#include "app/main_dialog.h"

BOOL CMytallydeskApp::InitInstance() {
    AfxEnableControlContainer();
    CMytallydeskDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();  // its result does not matter: the program ends either way
    m_pMainWnd = nullptr;
    // FALSE: the framework ends the program instead of running a message loop.
    return FALSE;
}
