// CWaitDialog: the small modeless "Please Wait" window an export shows while
// it writes records: one line of text and a bar from 0 to 100. It has no
// cancel; the export runs to its end and the window only reports.
//
//   CWaitDialog* wait = new CWaitDialog(this);
//   wait->Create();
//   wait->ShowWindow(SW_SHOW);
//   wait->SetMessage("Exporting Record Data,Please Wait...");
//   wait->Invalidate();      // the export runs no event loop of its own,
//   wait->UpdateWindow();    // so the window is drawn before the loop
//   ... wait->SetProgress(100 * (i + 1) / n) per record ...
//   wait->Close();
//   delete wait;
#pragma once

#include <string>

#include "framework/dialog.h"

class CWaitDialog : public CDialog {
  public:
    // Template and control ids of the window.
    enum {
        IDD = 129,
        IDC_WAIT_MESSAGE = 1024,
        IDC_WAIT_SECOND_TEXT = 1025,
        IDC_WAIT_PROGRESS = 1026,
    };

    explicit CWaitDialog(CWnd* owner);
    ~CWaitDialog() override;

    using CDialog::Create;
    // Builds the modeless window from template 129 over the owner; it stays
    // hidden until ShowWindow.
    BOOL Create();
    // The message line (control 1024).
    void SetMessage(const std::string& text);
    // Moves the bar to position (0 to 100, clamped). A position below the
    // one already shown is ignored: within one export the bar only moves
    // forwards. The bar draws itself at once, since the export runs no
    // event loop while it works.
    void SetProgress(int position);
    // The position the bar shows.
    int GetProgress() const;
    // Destroys the window.
    void Close();

    // The window's template (129), in dialog units.
    static const DialogTemplate& Template129();

    CProgressCtrl m_progress;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
