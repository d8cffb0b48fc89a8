// CDialog: a window built from a dialog template, run modally or modeless,
// with data exchange, window timers, the system menu and the OK and Cancel
// commands of a classic dialog.
#pragma once

#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include "framework/dialog_template.h"
#include "framework/wnd.h"

class CDialog;
class DialogWindow;

// Thrown by CDataExchange::Fail to stop a take at the bad field.
struct DataExchangeFailure {};

class CDataExchange {
  public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
    // Remembers the control being exchanged, so that a failure can give it
    // the focus.
    QWidget* PrepareCtrl(int id);
    QWidget* PrepareEditCtrl(int id);
    // Focus to the last prepared control, then stop the take.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

  private:
    QWidget* last_ = nullptr;
    bool lastIsEdit_ = false;
};

// Binds a member control object to the dialog's control.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Whole text.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Decimal numbers: shown with %u / %d; taken as the first number of the
// text, else "请输入一个正整数。" / "请输入一个整数。".
void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value);
void DDX_Text(CDataExchange* pDX, int id, std::int32_t& value);

// The validation messages of the number exchange.
extern const char* const kPromptUnsigned;  // "请输入一个正整数。"
extern const char* const kPromptSigned;    // "请输入一个整数。"

// The number parsers behind DDX_Text: the first number of at most the first
// 63 characters, blanks before it skipped, anything after it ignored. False
// when there is none (and, unsigned, when it carries a minus sign). Digits
// beyond 32 bits wrap modulo 2^32.
bool ParseUnsignedField(const std::string& text, std::uint32_t* value);
bool ParseSignedField(const std::string& text, std::int32_t* value);

class CDialog : public CWnd {
  public:
    explicit CDialog(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modal: builds the window, runs OnInitDialog, then its own event loop
    // until EndDialog; then DestroyWindow. Returns the EndDialog result. When
    // OnInitDialog already ended the dialog the loop never runs.
    virtual int DoModal();
    // Modeless: builds the window, runs OnInitDialog, shows it when the
    // template says visible.
    virtual BOOL Create(CWnd* parent = nullptr);
    void EndDialog(int result);
    // The close sequence: the destroy message, then the window goes.
    virtual BOOL DestroyWindow();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    // TRUE: take the fields from the controls; FALSE: show the fields.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    CWnd* GetDlgItem(int id) const;  // nullptr for an unknown id
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int state);
    UINT IsDlgButtonChecked(int id) const;

    // Window timers. A tick that comes due while the handler of that timer
    // runs (a message box inside it keeps events flowing) is handled once,
    // after it returns; ticks never pile up.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    BOOL KillTimer(UINT_PTR id);
    bool HasTimer(UINT_PTR id) const;

    CMenu* GetSystemMenu(BOOL revert);
    // Opens the system menu (Alt+Space) at the window's top-left corner.
    void ShowSystemMenu();
    void SetIcon(const HICON& icon, BOOL big);
    void SetWindowTitle(const std::string& title);

    // Delivers a command as a button or Enter/Esc would.
    void SendCommand(int id, UINT code = BN_CLICKED);
    void SendSysCommand(UINT id, LPARAM lParam = 0);

    const DialogTemplate& Template() const { return template_; }
    bool IsModalLoopRunning() const { return loop_ != nullptr; }
    bool HasEnded() const { return ended_; }
    int Result() const { return result_; }
    // Base units in pixels of the dialog font (horizontal, vertical).
    QSize BaseUnits() const { return baseUnits_; }
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    // From the window (keys, close button, paint, list clicks).
    void RouteKey(QWidget* source, int key, Qt::KeyboardModifiers modifiers, bool* handled);
    void RouteClose();
    void RoutePaint();
    void RouteListClick(int id, int row, int col);

  protected:
    void OnSysCommand(UINT id, LPARAM lParam);  // default processing
    void OnPaint() {}
    void OnDestroy() {}
    void OnTimer(UINT_PTR) {}
    CWnd* parent_;

    DECLARE_MESSAGE_MAP()

  private:
    void Build(QWidget* owner);
    void FireTimer(UINT_PTR id);

    const DialogTemplate& template_;
    DialogWindow* window_ = nullptr;
    std::map<int, std::unique_ptr<CWnd>> items_;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> timers_;
    struct TimerState {
        bool running = false;
        bool pending = false;
    };
    std::map<UINT_PTR, TimerState> timerStates_;
    std::unique_ptr<CMenu> systemMenu_;
    class QEventLoop* loop_ = nullptr;
    bool ended_ = false;
    int result_ = 0;
    QSize baseUnits_{8, 15};
};
