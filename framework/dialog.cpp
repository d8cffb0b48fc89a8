#include "framework/dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <cmath>
#include <cstring>

#include "framework/app.h"
#include "framework/seams.h"
#include "framework/widgets_p.h"

const char* const kPromptUnsigned = "请输入一个正整数。";
const char* const kPromptSigned = "请输入一个整数。";

namespace {

// A timer may be killed from inside its own tick (a message box there keeps
// events flowing, and the operator may press Disconnect): stop it now and
// let Qt delete it once its signal has returned.
void DisposeTimer(std::unique_ptr<QTimer>& timer) {
    if (!timer) return;
    timer->stop();
    QObject::disconnect(timer.get(), nullptr, nullptr, nullptr);
    timer.release()->deleteLater();
}

}  // namespace

// ---- number fields ----

namespace {

// Only the first 63 characters of an edit are looked at: the exchange reads
// the text into a buffer of 64 characters.
constexpr size_t kFieldReadLimit = 63;

// Blanks before the number, an optional sign, then at least one digit;
// digits accumulate modulo 2^32 (explicitly unsigned, so a long run of
// digits wraps instead of overflowing).
bool ScanNumber(const std::string& full, bool allowMinus, std::uint32_t* magnitude,
                bool* negative) {
    const std::string text = full.substr(0, kFieldReadLimit);
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            if (!allowMinus) return false;
            *negative = true;
        }
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    *magnitude = value;
    return true;
}

}  // namespace

bool ParseUnsignedField(const std::string& text, std::uint32_t* value) {
    std::uint32_t magnitude = 0;
    bool negative = false;
    if (!ScanNumber(text, false, &magnitude, &negative)) return false;
    *value = magnitude;
    return true;
}

bool ParseSignedField(const std::string& text, std::int32_t* value) {
    std::uint32_t magnitude = 0;
    bool negative = false;
    if (!ScanNumber(text, true, &magnitude, &negative)) return false;
    const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
    // Two's complement reinterpretation, defined for every bit pattern.
    std::int32_t out;
    std::memcpy(&out, &bits, sizeof out);
    *value = out;
    return true;
}

// ---- data exchange ----

QWidget* CDataExchange::PrepareCtrl(int id) {
    CWnd* item = m_pDlgWnd->GetDlgItem(id);
    last_ = item ? item->Widget() : nullptr;
    lastIsEdit_ = false;
    return last_;
}

QWidget* CDataExchange::PrepareEditCtrl(int id) {
    PrepareCtrl(id);
    lastIsEdit_ = true;
    return last_;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && last_) {
        last_->setFocus(Qt::OtherFocusReason);
        if (lastIsEdit_) {
            if (auto* e = qobject_cast<QLineEdit*>(last_)) e->selectAll();
            if (auto* p = qobject_cast<QPlainTextEdit*>(last_)) p->selectAll();
        }
    }
    throw DataExchangeFailure{};
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.Widget()) return;
    if (CWnd* item = pDX->m_pDlgWnd->GetDlgItem(id)) control.Attach(item->Widget(), id);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    else
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

namespace {

void ShowValidation(CDataExchange* pDX, const char* prompt) {
    Seam<MessageBoxService>::Get().Show(pDX->m_pDlgWnd->Widget(), prompt, AfxGetAppName(),
                                        MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value) {
    pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        std::uint32_t v = 0;
        if (!ParseUnsignedField(pDX->m_pDlgWnd->GetDlgItemText(id), &v)) {
            ShowValidation(pDX, kPromptUnsigned);
            pDX->Fail();
        }
        value = v;
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::int32_t& value) {
    pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        std::int32_t v = 0;
        if (!ParseSignedField(pDX->m_pDlgWnd->GetDlgItemText(id), &v)) {
            ShowValidation(pDX, kPromptSigned);
            pDX->Fail();
        }
        value = v;
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    }
}

// ---- the dialog window ----

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (dialog_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        dialog_->RouteKey(qobject_cast<QWidget*>(watched), key->key(), key->modifiers(), &handled);
        if (handled) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    if (dialog_) dialog_->RouteKey(this, event->key(), event->modifiers(), &handled);
    if (!handled) QWidget::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close button and Alt+F4 are the system menu's
    // Close: the dialog decides, the window does not just vanish.
    event->ignore();
    if (dialog_) dialog_->RouteClose();
}

void DialogWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (dialog_) dialog_->RoutePaint();
}

// ---- CDialog ----

// clang-format off
BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()
// clang-format on

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* parent)
    : parent_(parent), template_(dialogTemplate) {}

CDialog::~CDialog() {
    timers_.clear();
    if (window_) {
        window_->Detach();
        delete window_;
    }
}

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    auto h = [&](int v) { return static_cast<int>(std::lround(v * baseUnits_.width() / 4.0)); };
    auto v = [&](int u) { return static_cast<int>(std::lround(u * baseUnits_.height() / 8.0)); };
    return QRect(h(x), v(y), h(cx), v(cy));
}

void CDialog::Build(QWidget* owner) {
    const DWORD style = template_.style;
    Qt::WindowFlags flags = owner ? Qt::Dialog : Qt::Window;
    if (!(style & WS_CAPTION))
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    window_ = new DialogWindow(this, owner, flags);
    Attach(window_, template_.id);
    window_->setObjectName(QString("dlg%1").arg(template_.id));
    window_->setWindowTitle(QString::fromStdString(template_.title));
    window_->setAccessibleName(QString::fromStdString(template_.title));

    const QFont font = DialogFont(template_.fontFace, template_.pointSize);
    window_->setFont(font);
    // Base units as the system measures them: the average width of the 52
    // letters, rounded, and the character cell height.
    const QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseUnits_ = QSize(std::max(1, (letters / 26 + 1) / 2), std::max(1, fm.height()));
    window_->setFixedSize(MapDialogRect(0, 0, template_.cx, template_.cy).size());
    const QPoint offset = MapDialogRect(template_.x, template_.y, 0, 0).topLeft();
    window_->move(owner ? owner->mapToGlobal(QPoint(0, 0)) + offset : offset);

    std::vector<QWidget*> groupBoxes;
    for (const DialogControl& c : template_.controls) {
        QWidget* w = nullptr;
        std::unique_ptr<CWnd> wrapper;
        const QString text = QString::fromStdString(c.text);
        switch (c.cls) {
            case ControlClass::Button: {
                auto* b = new QPushButton(text, window_);
                b->setAutoDefault(false);
                b->setDefault((c.style & BS_DEFPUSHBUTTON) != 0);
                const int id = c.id;
                QObject::connect(b, &QPushButton::clicked, window_,
                                 [this, id] { SendCommand(id, BN_CLICKED); });
                w = b;
                wrapper = std::make_unique<CButton>();
                break;
            }
            case ControlClass::CheckBox: {
                auto* b = new QCheckBox(text, window_);
                const int id = c.id;
                QObject::connect(b, &QCheckBox::clicked, window_,
                                 [this, id] { SendCommand(id, BN_CLICKED); });
                w = b;
                wrapper = std::make_unique<CButton>();
                break;
            }
            case ControlClass::GroupBox: {
                auto* g = new QGroupBox(text, window_);
                // A group box is only a frame drawn behind the controls it groups.
                g->setAttribute(Qt::WA_TransparentForMouseEvents);
                g->setFocusPolicy(Qt::NoFocus);
                groupBoxes.push_back(g);
                w = g;
                wrapper = std::make_unique<CButton>();
                break;
            }
            case ControlClass::Edit: {
                if (c.style & ES_MULTILINE) {
                    auto* e = new QPlainTextEdit(window_);
                    e->setLineWrapMode(QPlainTextEdit::NoWrap);
                    e->setTabChangesFocus(true);
                    e->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
                    e->setHorizontalScrollBarPolicy(
                        (c.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                    e->setReadOnly((c.style & ES_READONLY) != 0);
                    if (!(c.style & WS_BORDER)) e->setFrameShape(QFrame::NoFrame);
                    w = e;
                } else {
                    auto* e = new QLineEdit(text, window_);
                    e->setFrame((c.style & WS_BORDER) != 0);
                    e->setReadOnly((c.style & ES_READONLY) != 0);
                    w = e;
                }
                wrapper = std::make_unique<CEdit>();
                break;
            }
            case ControlClass::Static: {
                auto* l = new QLabel(text, window_);
                l->setTextFormat(Qt::PlainText);
                l->setWordWrap(true);
                l->setAlignment(((c.style & SS_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft) |
                                Qt::AlignTop);
                w = l;
                wrapper = std::make_unique<CStatic>();
                break;
            }
            case ControlClass::Picture:
            case ControlClass::Icon: {
                auto* l = new QLabel(window_);
                l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                if (c.cls == ControlClass::Icon && !c.text.empty())
                    l->setPixmap(AfxLoadIcon(static_cast<UINT>(std::stoul(c.text))).pixmap(32, 32));
                w = l;
                wrapper = std::make_unique<CStatic>();
                break;
            }
            case ControlClass::ListView: {
                auto* l = new ListViewWidget(window_);
                l->setSelectionMode((c.style & LVS_SINGLESEL)
                                        ? QAbstractItemView::SingleSelection
                                        : QAbstractItemView::ExtendedSelection);
                const int id = c.id;
                l->onClick = [this, id](int row, int col) { RouteListClick(id, row, col); };
                w = l;
                wrapper = std::make_unique<CListCtrl>();
                break;
            }
            case ControlClass::Progress: {
                auto* p = new QProgressBar(window_);
                p->setRange(0, 100);
                p->setValue(0);
                p->setTextVisible(false);
                w = p;
                wrapper = std::make_unique<CProgressCtrl>();
                break;
            }
        }
        w->setObjectName(QString("ctl%1").arg(c.id));
        w->setGeometry(MapDialogRect(c.x, c.y, c.cx, c.cy));
        // Buttons, check boxes and labels are announced by their live text;
        // the template names the others.
        if (!c.accessibleName.empty())
            w->setAccessibleName(QString::fromStdString(c.accessibleName));
        if (c.cls == ControlClass::Static || c.cls == ControlClass::Picture ||
            c.cls == ControlClass::Icon)
            w->setFocusPolicy(Qt::NoFocus);
        else if (!(c.style & WS_TABSTOP) && c.cls != ControlClass::GroupBox)
            w->setFocusPolicy(Qt::ClickFocus);
        if (!(c.style & WS_VISIBLE)) w->setVisible(false);
        if (c.style & WS_DISABLED) w->setEnabled(false);
        w->installEventFilter(window_);
        wrapper->Attach(w, c.id);
        if (c.id != IDC_STATIC) items_[c.id] = std::move(wrapper);
    }
    for (QWidget* g : groupBoxes) g->lower();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!window_) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

namespace {

void FocusFirstTabStop(CDialog* dialog, const DialogTemplate& t) {
    for (const DialogControl& c : t.controls) {
        if (!(c.style & WS_TABSTOP)) continue;
        CWnd* item = dialog->GetDlgItem(c.id);
        if (item && item->Widget() && !item->Widget()->isHidden() && item->Widget()->isEnabled()) {
            item->Widget()->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

}  // namespace

int CDialog::DoModal() {
    ended_ = false;
    result_ = IDCANCEL;
    // Without a parent the active window owns a modal dialog, as on the
    // system this design comes from.
    QWidget* owner = parent_ ? parent_->Widget() : QApplication::activeWindow();
    if (owner) owner = owner->window();
    Build(owner);
    // A modal dialog disables its owner, nothing else: a main window without
    // owner leaves ownerless windows such as the folder picker usable.
    window_->setWindowModality(owner ? Qt::WindowModal : Qt::NonModal);
    const BOOL setFocus = OnInitDialog();
    if (!ended_) {
        if (template_.style & WS_VISIBLE) window_->show();
        window_->activateWindow();
        if (setFocus) FocusFirstTabStop(this, template_);
        QEventLoop loop;
        loop_ = &loop;
        if (!ended_) loop.exec();
        loop_ = nullptr;
    }
    DestroyWindow();
    return result_;
}

BOOL CDialog::Create(CWnd* parent) {
    if (parent) parent_ = parent;
    ended_ = false;
    QWidget* owner = parent_ ? parent_->Widget() : nullptr;
    if (owner) owner = owner->window();
    Build(owner);
    const BOOL setFocus = OnInitDialog();
    if (template_.style & WS_VISIBLE) {
        window_->show();
        if (setFocus) FocusFirstTabStop(this, template_);
    }
    return TRUE;
}

void CDialog::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    if (loop_) loop_->quit();
    // A modeless dialog (or one ended before its loop began) just hides;
    // DestroyWindow removes it.
    else if (window_)
        window_->hide();
}

BOOL CDialog::DestroyWindow() {
    if (!window_) return FALSE;
    for (auto& entry : timers_) DisposeTimer(entry.second);
    timers_.clear();
    timerStates_.clear();
    MessageParams params;
    OnWndMsg(WM_DESTROY, 0, 0, params);
    for (auto& entry : timers_) DisposeTimer(entry.second);
    timers_.clear();
    items_.clear();
    DialogWindow* window = window_;
    window_ = nullptr;
    window->Detach();
    window->hide();
    delete window;
    widget_ = nullptr;
    return TRUE;
}

CWnd* CDialog::GetDlgItem(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second.get();
}

void CDialog::SetDlgItemText(int id, const std::string& text) {
    if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

std::string CDialog::GetDlgItemText(int id) const {
    CWnd* item = GetDlgItem(id);
    return item ? item->GetWindowText() : std::string();
}

void CDialog::CheckDlgButton(int id, int state) {
    if (auto* b = dynamic_cast<CButton*>(GetDlgItem(id))) b->SetCheck(state);
}

UINT CDialog::IsDlgButtonChecked(int id) const {
    auto* b = dynamic_cast<CButton*>(GetDlgItem(id));
    return b ? static_cast<UINT>(b->GetCheck()) : 0u;
}

// ---- timers ----

UINT_PTR CDialog::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (!window_) return 0;
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(std::min<UINT>(elapseMs, 0x7FFFFFFF)));
    QObject::connect(timer.get(), &QTimer::timeout, window_, [this, id] { FireTimer(id); });
    timer->start();
    auto& slot = timers_[id];
    DisposeTimer(slot);
    slot = std::move(timer);
    return id;
}

BOOL CDialog::KillTimer(UINT_PTR id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return FALSE;
    DisposeTimer(it->second);
    timers_.erase(it);
    const auto st = timerStates_.find(id);
    if (st != timerStates_.end()) st->second.pending = false;
    return TRUE;
}

bool CDialog::HasTimer(UINT_PTR id) const { return timers_.count(id) != 0; }

int& TimerHoldDepth() {
    static int depth = 0;
    return depth;
}

void CDialog::FireTimer(UINT_PTR id) {
    if (TimerHoldDepth() > 0) return;
    TimerState& state = timerStates_[id];
    if (state.running) {
        state.pending = true;
        return;
    }
    state.running = true;
    do {
        state.pending = false;
        MessageParams params;
        params.wParam = id;
        OnWndMsg(WM_TIMER, 0, 0, params);
        // The handler may have killed the timer or closed the window.
        if (!window_ || !timers_.count(id)) break;
    } while (state.pending);
    const auto st = timerStates_.find(id);
    if (st != timerStates_.end()) {
        st->second.running = false;
        st->second.pending = false;
    }
}

// ---- system menu, commands, routing ----

CMenu* CDialog::GetSystemMenu(BOOL revert) {
    if (!systemMenu_ || revert) {
        systemMenu_ = std::make_unique<CMenu>();
        systemMenu_->AppendMenu(MF_STRING, SC_MOVE, "&Move");
        systemMenu_->AppendMenu(MF_STRING, SC_MINIMIZE, "Mi&nimize");
        systemMenu_->AppendMenu(MF_SEPARATOR);
        systemMenu_->AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    }
    return systemMenu_.get();
}

void CDialog::ShowSystemMenu() {
    if (!window_ || !(template_.style & WS_SYSMENU)) return;
    auto* menu = new QMenu(window_);
    menu->setObjectName("systemMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const CMenu::Item& item : GetSystemMenu(FALSE)->Items()) {
        if (item.flags & MF_SEPARATOR) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.text));
        action->setData(item.id);
        const UINT id = item.id;
        // Run the command after the menu has closed, as the system does.
        QObject::connect(action, &QAction::triggered, window_, [this, id] {
            QMetaObject::invokeMethod(
                window_, [this, id] { SendSysCommand(id); }, Qt::QueuedConnection);
        });
    }
    menu->popup(window_->mapToGlobal(QPoint(0, 0)));
}

void CDialog::SetIcon(const HICON& icon, BOOL) {
    if (window_) window_->setWindowIcon(icon);
}

void CDialog::SetWindowTitle(const std::string& title) {
    if (window_) window_->setWindowTitle(QString::fromStdString(title));
}

void CDialog::SendCommand(int id, UINT code) {
    MessageParams params;
    OnWndMsg(WM_COMMAND, code, id, params);
}

void CDialog::SendSysCommand(UINT id, LPARAM lParam) {
    MessageParams params;
    params.wParam = id;
    params.lParam = lParam;
    if (!OnWndMsg(WM_SYSCOMMAND, 0, 0, params)) CDialog::OnSysCommand(id, lParam);
}

void CDialog::OnSysCommand(UINT id, LPARAM) {
    if (!window_) return;
    switch (id & 0xFFF0) {
        case SC_CLOSE:
            SendCommand(IDCANCEL);
            break;
        case SC_MINIMIZE:
            window_->showMinimized();
            break;
        case SC_RESTORE:
            window_->showNormal();
            break;
        case SC_MOVE:
            if (window_->windowHandle()) window_->windowHandle()->startSystemMove();
            break;
        default:
            break;
    }
}

void CDialog::RouteKey(QWidget* source, int key, Qt::KeyboardModifiers modifiers, bool* handled) {
    *handled = false;
    if (!window_) return;
    if (key == Qt::Key_Space && (modifiers & Qt::AltModifier)) {
        ShowSystemMenu();
        *handled = true;
        return;
    }
    if (modifiers & (Qt::AltModifier | Qt::ControlModifier)) return;
    if (key == Qt::Key_Escape) {
        SendCommand(IDCANCEL);
        *handled = true;
        return;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    // A push button with the focus is the default button for the moment.
    if (auto* button = qobject_cast<QPushButton*>(source)) {
        if (button->isEnabled()) button->click();
        *handled = true;
        return;
    }
    if (qobject_cast<QPlainTextEdit*>(source)) {
        for (const DialogControl& c : template_.controls) {
            CWnd* item = GetDlgItem(c.id);
            if (item && item->Widget() == source && (c.style & ES_WANTRETURN)) return;
        }
    }
    // Otherwise the default button, and with none the OK command.
    for (const DialogControl& c : template_.controls) {
        if (c.cls == ControlClass::Button && (c.style & BS_DEFPUSHBUTTON)) {
            CWnd* item = GetDlgItem(c.id);
            if (item && item->IsWindowEnabled()) SendCommand(c.id);
            *handled = true;
            return;
        }
    }
    SendCommand(IDOK);
    *handled = true;
}

void CDialog::RouteClose() { SendSysCommand(SC_CLOSE); }

void CDialog::RoutePaint() {
    MessageParams params;
    OnWndMsg(WM_PAINT, 0, 0, params);
}

void CDialog::RouteListClick(int id, int row, int col) {
    NMITEMACTIVATE nm;
    nm.hdr.hwndFrom = GetDlgItem(id);
    nm.hdr.idFrom = static_cast<UINT_PTR>(id);
    nm.hdr.code = NM_CLICK;
    nm.iItem = row;
    nm.iSubItem = col;
    MessageParams params;
    params.nmhdr = &nm.hdr;
    OnWndMsg(WM_NOTIFY, NM_CLICK, id, params);
}
