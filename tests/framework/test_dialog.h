// A small dialog for the framework tests: one edit of each exchange kind, a
// button, a check box and a list.
#pragma once

#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/dialog.h"

enum {
    IDC_T_UNSIGNED = 1100,
    IDC_T_SIGNED = 1101,
    IDC_T_TEXT = 1102,
    IDC_T_BUTTON = 1103,
    IDC_T_CHECK = 1104,
    IDC_T_LIST = 1105,
    IDC_T_HIDDEN = 1106,
    IDC_T_MULTI = 1107,
};

inline const DialogTemplate& TestTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 500;
        d.cx = 200;
        d.cy = 120;
        d.style = WS_POPUP | DS_MODALFRAME | WS_SYSMENU | WS_VISIBLE;
        d.fontFace = "Fixedsys";
        d.pointSize = 12;
        const DWORD edit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        d.controls = {
            {IDC_T_UNSIGNED, ControlClass::Edit, "", 10, 10, 50, 14, edit, "Unsigned"},
            {IDC_T_SIGNED, ControlClass::Edit, "", 10, 30, 50, 14, edit, "Signed"},
            {IDC_T_TEXT, ControlClass::Edit, "", 10, 50, 50, 14, edit, "Text"},
            {IDC_T_BUTTON, ControlClass::Button, "Press", 80, 10, 50, 14, WS_VISIBLE | WS_TABSTOP,
             ""},
            {IDC_T_CHECK, ControlClass::CheckBox, "Tick", 80, 30, 50, 14, WS_VISIBLE | WS_TABSTOP,
             ""},
            {IDC_T_LIST, ControlClass::ListView, "", 80, 50, 110, 60,
             WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, "List"},
            {IDC_T_HIDDEN, ControlClass::Button, "Hidden", 10, 90, 50, 14, WS_TABSTOP | WS_DISABLED,
             ""},
            {IDC_T_MULTI, ControlClass::Edit, "", 10, 70, 50, 14, edit | ES_MULTILINE | WS_VSCROLL,
             "Multi"},
        };
        return d;
    }();
    return t;
}

class CTestDlg : public CDialog {
  public:
    CTestDlg() : CDialog(TestTemplate()) {}

    std::uint32_t m_unsigned = 7;
    std::int32_t m_signed = -3;
    std::string m_text = "hello";
    CListCtrl m_list;

    std::vector<std::string> calls;  // handlers in the order they ran
    int lastItem = -2;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_T_LIST, m_list);
        DDX_Text(pDX, IDC_T_UNSIGNED, m_unsigned);
        DDX_Text(pDX, IDC_T_SIGNED, m_signed);
        DDX_Text(pDX, IDC_T_TEXT, m_text);
    }
    void OnPress() { calls.push_back("press"); }
    void OnListClick(NMHDR* hdr, LRESULT* result) {
        lastItem = reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem;
        calls.push_back("list");
        *result = 0;
    }
    void OnTimer(UINT_PTR id) { calls.push_back("timer" + std::to_string(id)); }
    void OnDestroy() { calls.push_back("destroy"); }
    void OnSysCommand(UINT id, LPARAM lParam) {
        calls.push_back("sys" + std::to_string(id));
        CDialog::OnSysCommand(id, lParam);
    }

    DECLARE_MESSAGE_MAP()
};
