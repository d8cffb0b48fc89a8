#include "app/output/wait_dialog.h"

#include <algorithm>

namespace {

DialogTemplate MakeWaitTemplate() {
    using C = ControlClass;
    DialogTemplate t;
    t.id = CWaitDialog::IDD;
    t.cx = 187;
    t.cy = 98;
    // Not visible by itself: the export shows it once its text is set.
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.title = "Please Wait";
    t.fontFace = "System";
    t.pointSize = 10;
    // OK and Cancel exist but stay hidden: the window offers no way out of
    // an export that is running.
    t.controls = {
        {IDOK, C::Button, "OK", 130, 61, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, ""},
        {IDCANCEL, C::Button, "Cancel", 130, 77, 50, 14, WS_TABSTOP, ""},
        {CWaitDialog::IDC_WAIT_MESSAGE, C::Static, "", 7, 18, 173, 12, WS_VISIBLE | SS_LEFT, ""},
        {CWaitDialog::IDC_WAIT_SECOND_TEXT, C::Static, "", 7, 70, 121, 13, WS_VISIBLE | SS_LEFT,
         ""},
        // Segmented, not smooth.
        {CWaitDialog::IDC_WAIT_PROGRESS, C::Progress, "", 13, 50, 159, 12, WS_VISIBLE | WS_BORDER,
         "Progress"},
    };
    return t;
}

}  // namespace

const DialogTemplate& CWaitDialog::Template129() {
    static const DialogTemplate t = MakeWaitTemplate();
    return t;
}

CWaitDialog::CWaitDialog(CWnd* owner) : CDialog(Template129(), owner) {}

CWaitDialog::~CWaitDialog() { Close(); }

BEGIN_MESSAGE_MAP(CWaitDialog, CDialog)
END_MESSAGE_MAP()

void CWaitDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_WAIT_PROGRESS, m_progress);
}

BOOL CWaitDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
    return TRUE;
}

BOOL CWaitDialog::Create() { return CDialog::Create(parent_); }

void CWaitDialog::SetMessage(const std::string& text) { SetDlgItemText(IDC_WAIT_MESSAGE, text); }

void CWaitDialog::SetProgress(int position) {
    if (!m_progress.Widget()) return;
    position = std::clamp(position, 0, 100);
    if (position <= m_progress.GetPos()) return;
    m_progress.SetPos(position);
}

int CWaitDialog::GetProgress() const { return m_progress.Widget() ? m_progress.GetPos() : 0; }

void CWaitDialog::Close() {
    if (Widget()) DestroyWindow();
}
