// Windows and controls: a thin wrapper per Qt widget, reached by control id,
// and the message map that routes events to member handlers.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "framework/afx_types.h"

class QPainter;
class CWnd;

using HICON = QIcon;
using HCURSOR = QIcon;
using HBITMAP = QPixmap;

// ---- message map ----

// What travels with a routed message.
struct MessageParams {
    WPARAM wParam = 0;  // timer id, system command id
    LPARAM lParam = 0;
    NMHDR* nmhdr = nullptr;  // WM_NOTIFY
    LRESULT result = 0;      // notification result
    HCURSOR cursor;          // WM_QUERYDRAGICON answer
};

class CCmdTarget;
struct MessageMapEntry {
    UINT message;
    UINT code;  // notification code (WM_COMMAND, WM_NOTIFY)
    int id;     // control id (WM_COMMAND, WM_NOTIFY)
    void (*call)(CCmdTarget* target, MessageParams& params);
};
struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;  // ends with an entry whose call is null
};

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;
    // Routes one message through this class's map and then its bases'; true
    // when a handler took it.
    bool OnWndMsg(UINT message, UINT code, int id, MessageParams& params);
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
};

#define DECLARE_MESSAGE_MAP()                         \
  public:                                             \
    static const MessageMap* GetThisMessageMap();     \
    const MessageMap* GetMessageMap() const override; \
                                                      \
  private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const MessageMap* theClass::GetThisMessageMap() {                                 \
        using ThisClass = theClass;                                                   \
        static_assert(sizeof(ThisClass) > 0, "complete class");                       \
        using TheBaseClass = baseClass;                                               \
        static const MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                      \
    { 0, 0, 0, nullptr }                                                       \
    }                                                                          \
    ;                                                                          \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                               \
    }

#define AFX_MSG_CALL(expr)                \
    [](CCmdTarget* t, MessageParams& p) { \
        (void)p;                          \
        expr;                             \
    }
#define AFX_THIS static_cast<ThisClass*>(t)

// void memberFxn()
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, (id), AFX_MSG_CALL((AFX_THIS->*memberFxn)())},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, (id), AFX_MSG_CALL((AFX_THIS->*memberFxn)())},
// void memberFxn(NMHDR*, LRESULT*)
#define ON_NOTIFY(code, id, memberFxn) \
    {WM_NOTIFY, (code), (id), AFX_MSG_CALL((AFX_THIS->*memberFxn)(p.nmhdr, &p.result))},
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() {WM_TIMER, 0, 0, AFX_MSG_CALL(AFX_THIS->OnTimer(p.wParam))},
// void OnDestroy()
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, AFX_MSG_CALL(AFX_THIS->OnDestroy())},
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0,  \
     AFX_MSG_CALL(AFX_THIS->OnSysCommand(static_cast<UINT>(p.wParam), p.lParam))},
// void OnPaint()
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AFX_MSG_CALL(AFX_THIS->OnPaint())},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, AFX_MSG_CALL(p.cursor = AFX_THIS->OnQueryDragIcon())},

// ---- fonts ----

class CFont {
  public:
    // The classic fourteen arguments. height > 0 is the cell height in
    // pixels, height < 0 the character height. The face is mapped to an
    // installed one (MapFontFace).
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BOOL italic,
                    BOOL underline, BOOL strikeOut, int charSet, int outPrecision,
                    int clipPrecision, int quality, int pitchAndFamily, const char* faceName);
    BOOL CreatePointFont(int pointSizeTenths, const char* faceName);
    bool IsCreated() const { return created_; }
    const QFont& Get() const { return font_; }

  private:
    QFont font_;
    bool created_ = false;
};

// Installed face for a face the program names: "Calibri" -> Carlito,
// "Fixedsys" -> a monospace face, "宋体" -> a CJK face, "System" -> a sans
// face. Unknown names pass through.
QString MapFontFace(const std::string& face);
// The dialog font of a template: mapped face at the size that gives base
// units near those of the original ("Fixedsys" 8 x 15 pixels).
QFont DialogFont(const std::string& face, int pointSize);

// ---- menus (the system menu) ----

class CMenu {
  public:
    struct Item {
        UINT flags;
        UINT id;
        std::string text;
    };
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);
    const std::vector<Item>& Items() const { return items_; }

  private:
    std::vector<Item> items_;
};

// ---- windows ----

class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds this object to an existing widget (data exchange's "control
    // attached").
    void Attach(QWidget* widget, int id);
    QWidget* GetSafeHwnd() const { return widget_; }
    QWidget* Widget() const { return widget_; }
    int GetDlgCtrlID() const { return id_; }

    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void GetWindowText(std::string& text) const { text = GetWindowText(); }
    BOOL EnableWindow(BOOL enable = TRUE);  // previous state: TRUE was disabled
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int cmd);  // previous visibility
    BOOL IsWindowVisible() const;
    void SetFocus();
    void SetFont(CFont* font, BOOL redraw = TRUE);
    void Invalidate(BOOL erase = TRUE);
    void UpdateWindow();
    BOOL IsIconic() const;
    void GetClientRect(QRect* rect) const;
    // A message box owned by this window; a blank caption is the application
    // name. Returns IDOK, IDYES, IDNO ...
    int MessageBox(const std::string& text, const std::string& caption = std::string(),
                   UINT type = MB_OK);

  protected:
    QPointer<QWidget> widget_;
    int id_ = 0;
};

class CButton : public CWnd {
  public:
    int GetCheck() const;
    void SetCheck(int state);
};

class CEdit : public CWnd {
  public:
    void SetSel(int start, int end);
};

class CStatic : public CWnd {
  public:
    // Shows the bitmap; like a bitmap static, the control takes the bitmap's
    // size. Returns the previous bitmap.
    HBITMAP SetBitmap(const HBITMAP& bitmap);
    HBITMAP GetBitmap() const;
    void SetIcon(const HICON& icon);
};

class CProgressCtrl : public CWnd {
  public:
    void SetRange(short lower, short upper);
    void SetRange32(int lower, int upper);
    int SetPos(int pos);  // previous position
    int GetPos() const;
};

class CListCtrl : public CWnd {
  public:
    DWORD SetExtendedStyle(DWORD styles);  // previous styles
    DWORD GetExtendedStyle() const;
    int InsertColumn(int col, const std::string& heading, int format = LVCFMT_LEFT, int width = -1);
    int GetColumnCount() const;
    std::string GetColumnHeading(int col) const;
    int GetColumnWidth(int col) const;
    int InsertItem(int row, const std::string& text);  // index of the new row
    BOOL SetItemText(int row, int col, const std::string& text);
    std::string GetItemText(int row, int col) const;  // blank for a missing cell
    int GetItemCount() const;
    BOOL DeleteAllItems();
    BOOL DeleteItem(int row);
    BOOL SetItemState(int row, UINT state, UINT mask);
    UINT GetItemState(int row, UINT mask) const;
    int GetNextItem(int start, UINT flags) const;
};

// Paints inside the dialog's paint handler.
class CPaintDC {
  public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    void DrawIcon(int x, int y, const HICON& icon);
    void FillBackground();

  private:
    CWnd* wnd_;
    std::unique_ptr<QPainter> painter_;
};

int GetSystemMetrics(int index);
