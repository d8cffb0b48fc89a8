// Names and numbers of the classic dialog framework that the program is
// written against, kept so the window code reads like its design.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using LRESULT = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Command ids of the standard buttons and message box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDC_STATIC = -1;

// Message box types: buttons in the low nibble, icon in the next one.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x0040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x00F0;
constexpr UINT MB_TOPMOST = 0x00040000;

// Window messages routed through the message map.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;

// Notification codes.
constexpr UINT BN_CLICKED = 0;
constexpr UINT NM_CLICK = static_cast<UINT>(-2);

// System commands.
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

// Menu item flags.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;

// Check box states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

// List view: extended styles, column formats, item states, search flags.
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_FOCUSED = 0x0001;
constexpr UINT LVNI_SELECTED = 0x0002;

// Font creation.
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;
constexpr int OUT_DEFAULT_PRECIS = 0;
constexpr int OUT_TT_ONLY_PRECIS = 7;
constexpr int CLIP_DEFAULT_PRECIS = 0;
constexpr int CLIP_STROKE_PRECIS = 2;
constexpr int DEFAULT_QUALITY = 0;
constexpr int DRAFT_QUALITY = 1;
constexpr int DEFAULT_PITCH = 0;
constexpr int FIXED_PITCH = 1;
constexpr int VARIABLE_PITCH = 2;

// Save dialog flags (only the ones the program passes).
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;

// System metrics.
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

// The header of a control notification and the list click's form of it.
class CWnd;
struct NMHDR {
    CWnd* hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem = -1;    // row under the pointer, -1 beside the rows
    int iSubItem = 0;  // column under the pointer
};
