// The about box, reached from the system menu.
#pragma once

#include "framework/dialog.h"

class CAboutDlg : public CDialog {
  public:
    explicit CAboutDlg(CWnd* parent = nullptr);

  protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
