#include "framework/wnd.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QWindow>
#include <cmath>

#include "framework/app.h"
#include "framework/seams.h"
#include "framework/widgets_p.h"

// ---- message map ----

bool CCmdTarget::OnWndMsg(UINT message, UINT code, int id, MessageParams& params) {
    const bool byControl = message == WM_COMMAND || message == WM_NOTIFY;
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e && e->call; ++e) {
            if (e->message != message) continue;
            if (byControl && (e->code != code || e->id != id)) continue;
            e->call(this, params);
            return true;
        }
    }
    return false;
}

const MessageMap* CCmdTarget::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

// ---- fonts ----

namespace {

QString FirstInstalled(std::initializer_list<const char*> families, const char* fallback) {
    const QStringList installed = QFontDatabase::families();
    for (const char* f : families)
        if (installed.contains(QString::fromUtf8(f), Qt::CaseInsensitive))
            return QString::fromUtf8(f);
    return QString::fromUtf8(fallback);
}

}  // namespace

QString MapFontFace(const std::string& face) {
    if (face == "Calibri") return FirstInstalled({"Carlito", "Calibri"}, "Carlito");
    if (face == "Fixedsys" || face == "Terminal")
        return FirstInstalled({"DejaVu Sans Mono", "Liberation Mono"}, "monospace");
    if (face == "宋体" || face == "SimSun" || face == "新宋体")
        return FirstInstalled(
            {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "AR PL UMing CN"},
            "sans-serif");
    if (face == "System" || face == "MS Shell Dlg" || face == "MS Sans Serif")
        return FirstInstalled({"DejaVu Sans", "Liberation Sans"}, "sans-serif");
    return QString::fromStdString(face);
}

QFont DialogFont(const std::string& face, int pointSize) {
    QFont font(MapFontFace(face));
    if (face == "Fixedsys" || face == "Terminal") {
        // The system's fixed font cell is 8 x 15 pixels; a monospace face at
        // 13 pixels comes closest to that cell.
        font.setPixelSize(13);
        font.setStyleHint(QFont::Monospace);
    } else if (face == "System") {
        font.setPixelSize(13);
    } else {
        // Points at the classic 96 dots per inch, whatever the screen says, so
        // that a layout in dialog units comes out the same everywhere.
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize * 96.0 / 72.0))));
    }
    return font;
}

BOOL CFont::CreateFont(int height, int /*width*/, int /*escapement*/, int /*orientation*/,
                       int weight, BOOL italic, BOOL underline, BOOL strikeOut, int /*charSet*/,
                       int /*outPrecision*/, int /*clipPrecision*/, int /*quality*/,
                       int pitchAndFamily, const char* faceName) {
    QFont font(MapFontFace(faceName ? faceName : ""));
    if ((pitchAndFamily & 3) == FIXED_PITCH) font.setStyleHint(QFont::Monospace);
    font.setItalic(italic != 0);
    font.setUnderline(underline != 0);
    font.setStrikeOut(strikeOut != 0);
    font.setWeight(weight >= 700 ? QFont::Bold : weight >= 600 ? QFont::DemiBold : QFont::Normal);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A positive height is the cell (ascent plus descent); find the em size
        // that gives that cell for this face.
        QFont probe = font;
        probe.setPixelSize(100);
        const int cell = QFontMetrics(probe).height();
        const int em = cell > 0 ? static_cast<int>(std::lround(height * 100.0 / cell)) : height;
        font.setPixelSize(std::max(1, em));
    }
    font_ = font;
    created_ = true;
    return TRUE;
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const char* faceName) {
    font_ = QFont(MapFontFace(faceName ? faceName : ""));
    font_.setPixelSize(
        std::max(1, static_cast<int>(std::lround(pointSizeTenths / 10.0 * 96.0 / 72.0))));
    created_ = true;
    return TRUE;
}

// ---- menus ----

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text) {
    items_.push_back({flags, static_cast<UINT>(id), text ? text : ""});
    return TRUE;
}

// ---- windows ----

void CWnd::Attach(QWidget* widget, int id) {
    widget_ = widget;
    id_ = id;
}

namespace {

void SetMultiLineText(QPlainTextEdit* p, const std::string& text) {
    // Refreshing all controls after every record hands this pane up to
    // 20,000 characters each time; it remembers the bytes it was last given
    // and the document revision it had then, so an unchanged text costs
    // neither a conversion nor a new layout.
    const QByteArray raw =
        QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    const QVariant revision = p->property("tallyRevision");
    if (revision.isValid() && revision.toInt() == p->document()->revision() &&
        p->property("tallyText").toByteArray() == raw)
        return;
    // The edit shows CR LF as one line break and hands it back the same way.
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    p->setPlainText(shown);
    p->moveCursor(QTextCursor::End);
    p->setProperty("tallyText", QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    p->setProperty("tallyRevision", p->document()->revision());
}

}  // namespace

void CWnd::SetWindowText(const std::string& text) {
    if (!widget_) return;
    if (auto* p = qobject_cast<QPlainTextEdit*>(widget_)) {
        SetMultiLineText(p, text);
        return;
    }
    const QString q = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
        // Unchanged text stays as it is, caret and all (refreshes are frequent).
        if (e->text() == q) return;
        e->setText(q);
        e->setCursorPosition(0);
    } else if (auto* b = qobject_cast<QAbstractButton*>(widget_)) {
        b->setText(q);
    } else if (auto* g = qobject_cast<QGroupBox*>(widget_)) {
        g->setTitle(q);
    } else if (auto* l = qobject_cast<QLabel*>(widget_)) {
        l->setText(q);
    } else {
        widget_->setWindowTitle(q);
    }
}

std::string CWnd::GetWindowText() const {
    if (!widget_) return std::string();
    QString q;
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
        q = e->text();
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(widget_)) {
        q = p->toPlainText();
        q.replace("\n", "\r\n");
    } else if (auto* b = qobject_cast<QAbstractButton*>(widget_)) {
        q = b->text();
    } else if (auto* g = qobject_cast<QGroupBox*>(widget_)) {
        q = g->title();
    } else if (auto* l = qobject_cast<QLabel*>(widget_)) {
        q = l->text();
    } else {
        q = widget_->windowTitle();
    }
    return q.toStdString();
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!widget_) return FALSE;
    const BOOL wasDisabled = !widget_->isEnabled();
    widget_->setEnabled(enable != 0);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return widget_ && widget_->isEnabled(); }

BOOL CWnd::ShowWindow(int cmd) {
    if (!widget_) return FALSE;
    const BOOL wasVisible = !widget_->isHidden();
    switch (cmd) {
        case SW_HIDE:
            widget_->hide();
            break;
        case SW_SHOWMINIMIZED:
            widget_->showMinimized();
            break;
        case SW_SHOWNORMAL:
            widget_->showNormal();
            break;
        default:
            widget_->show();
            break;
    }
    return wasVisible;
}

// Visible when it and every window it sits in carry the visible style, as
// the system answers; a control of a window not shown yet is not visible.
BOOL CWnd::IsWindowVisible() const { return widget_ && widget_->isVisible(); }

void CWnd::SetFocus() {
    if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    if (!widget_ || !font) return;
    widget_->setFont(font->Get());
    if (redraw) widget_->update();
}

void CWnd::Invalidate(BOOL) {
    if (widget_) widget_->update();
}

// Draws the window now. A window just shown is not on the screen until the
// display has answered, so wait for that (at most half a second) with the
// window timers held, as the system's synchronous paint would not run them.
void CWnd::UpdateWindow() {
    if (!widget_) return;
    QWidget* top = widget_->window();
    QWindow* handle = top->windowHandle();
    if (top->isVisible() && handle && !handle->isExposed()) {
        ++TimerHoldDepth();
        QElapsedTimer waited;
        waited.start();
        while (widget_ && !handle->isExposed() && waited.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        --TimerHoldDepth();
    }
    if (widget_) widget_->repaint();
}

BOOL CWnd::IsIconic() const { return widget_ && widget_->window()->isMinimized(); }

void CWnd::GetClientRect(QRect* rect) const {
    *rect = widget_ ? QRect(QPoint(0, 0), widget_->size()) : QRect();
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return Seam<MessageBoxService>::Get().Show(widget_ ? widget_->window() : nullptr, text,
                                               caption.empty() ? AfxGetAppName() : caption, type);
}

// ---- controls ----

int CButton::GetCheck() const {
    auto* b = qobject_cast<QAbstractButton*>(widget_);
    return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int state) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget_)) b->setChecked(state == BST_CHECKED);
}

void CEdit::SetSel(int start, int end) {
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
        if (start == 0 && end == -1)
            e->selectAll();
        else
            e->setSelection(start, end - start);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(widget_)) {
        if (start == 0 && end == -1) p->selectAll();
    }
}

HBITMAP CStatic::SetBitmap(const HBITMAP& bitmap) {
    auto* l = qobject_cast<QLabel*>(widget_);
    if (!l) return HBITMAP();
    HBITMAP previous = l->pixmap();
    l->setPixmap(bitmap);
    if (!bitmap.isNull()) l->resize(bitmap.size());
    return previous;
}

HBITMAP CStatic::GetBitmap() const {
    auto* l = qobject_cast<QLabel*>(widget_);
    return l ? l->pixmap() : HBITMAP();
}

void CStatic::SetIcon(const HICON& icon) {
    if (auto* l = qobject_cast<QLabel*>(widget_)) l->setPixmap(icon.pixmap(32, 32));
}

void CProgressCtrl::SetRange(short lower, short upper) { SetRange32(lower, upper); }

void CProgressCtrl::SetRange32(int lower, int upper) {
    if (auto* p = qobject_cast<QProgressBar*>(widget_)) p->setRange(lower, upper);
}

int CProgressCtrl::SetPos(int pos) {
    auto* p = qobject_cast<QProgressBar*>(widget_);
    if (!p) return 0;
    const int previous = p->value() < p->minimum() ? p->minimum() : p->value();
    p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
    return previous;
}

int CProgressCtrl::GetPos() const {
    auto* p = qobject_cast<QProgressBar*>(widget_);
    return p ? std::max(p->value(), p->minimum()) : 0;
}

namespace {
ListViewWidget* AsList(QWidget* w) { return dynamic_cast<ListViewWidget*>(w); }
}  // namespace

DWORD CListCtrl::SetExtendedStyle(DWORD styles) {
    auto* l = AsList(widget_);
    if (!l) return 0;
    const DWORD previous = l->extendedStyle;
    l->extendedStyle = styles;
    l->setShowGrid((styles & LVS_EX_GRIDLINES) != 0);
    l->setSelectionBehavior((styles & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                            : QAbstractItemView::SelectItems);
    return previous;
}

DWORD CListCtrl::GetExtendedStyle() const {
    auto* l = AsList(widget_);
    return l ? l->extendedStyle : 0;
}

int CListCtrl::InsertColumn(int col, const std::string& heading, int format, int width) {
    auto* l = AsList(widget_);
    if (!l) return -1;
    col = std::clamp(col, 0, l->columnCount());
    l->insertColumn(col);
    auto* header = new QTableWidgetItem(QString::fromStdString(heading));
    // The system's list always shows its first column left-aligned, whatever
    // the format asks; the others follow their format.
    Qt::Alignment align = Qt::AlignLeft;
    if (col > 0 && (format & 3) == LVCFMT_RIGHT) align = Qt::AlignRight;
    if (col > 0 && (format & 3) == LVCFMT_CENTER) align = Qt::AlignHCenter;
    header->setTextAlignment(align | Qt::AlignVCenter);
    header->setData(Qt::UserRole, static_cast<int>(align));
    l->setHorizontalHeaderItem(col, header);
    if (width >= 0) l->setColumnWidth(col, width);
    return col;
}

int CListCtrl::GetColumnCount() const {
    auto* l = AsList(widget_);
    return l ? l->columnCount() : 0;
}

std::string CListCtrl::GetColumnHeading(int col) const {
    auto* l = AsList(widget_);
    auto* item = l ? l->horizontalHeaderItem(col) : nullptr;
    return item ? item->text().toStdString() : std::string();
}

int CListCtrl::GetColumnWidth(int col) const {
    auto* l = AsList(widget_);
    return l ? l->columnWidth(col) : 0;
}

int CListCtrl::InsertItem(int row, const std::string& text) {
    auto* l = AsList(widget_);
    if (!l || l->columnCount() == 0) return -1;
    row = std::clamp(row, 0, l->rowCount());
    l->insertRow(row);
    SetItemText(row, 0, text);
    return row;
}

BOOL CListCtrl::SetItemText(int row, int col, const std::string& text) {
    auto* l = AsList(widget_);
    if (!l || row < 0 || row >= l->rowCount() || col < 0 || col >= l->columnCount()) return FALSE;
    auto* item = l->item(row, col);
    if (!item) {
        item = new QTableWidgetItem();
        auto* header = l->horizontalHeaderItem(col);
        const int align = header ? header->data(Qt::UserRole).toInt() : int(Qt::AlignLeft);
        item->setTextAlignment(Qt::Alignment(align) | Qt::AlignVCenter);
        l->setItem(row, col, item);
    }
    item->setText(QString::fromStdString(text));
    return TRUE;
}

std::string CListCtrl::GetItemText(int row, int col) const {
    auto* l = AsList(widget_);
    auto* item = l && row >= 0 && col >= 0 ? l->item(row, col) : nullptr;
    return item ? item->text().toStdString() : std::string();
}

int CListCtrl::GetItemCount() const {
    auto* l = AsList(widget_);
    return l ? l->rowCount() : 0;
}

BOOL CListCtrl::DeleteAllItems() {
    auto* l = AsList(widget_);
    if (!l) return FALSE;
    l->setRowCount(0);
    return TRUE;
}

BOOL CListCtrl::DeleteItem(int row) {
    auto* l = AsList(widget_);
    if (!l || row < 0 || row >= l->rowCount()) return FALSE;
    l->removeRow(row);
    return TRUE;
}

BOOL CListCtrl::SetItemState(int row, UINT state, UINT mask) {
    auto* l = AsList(widget_);
    if (!l || row < 0 || row >= l->rowCount()) return FALSE;
    const QModelIndex index = l->model()->index(row, 0);
    l->ChangeSelectionQuietly([&](QItemSelectionModel* sel) {
        if (mask & LVIS_SELECTED) {
            const auto flags = QItemSelectionModel::Rows |
                               ((state & LVIS_SELECTED) ? QItemSelectionModel::ClearAndSelect
                                                        : QItemSelectionModel::Deselect);
            sel->select(index, flags);
        }
        if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
            sel->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    });
    return TRUE;
}

UINT CListCtrl::GetItemState(int row, UINT mask) const {
    auto* l = AsList(widget_);
    if (!l || row < 0 || row >= l->rowCount()) return 0;
    UINT state = 0;
    if (l->selectionModel()->isRowSelected(row, QModelIndex())) state |= LVIS_SELECTED;
    if (l->currentIndex().isValid() && l->currentIndex().row() == row) state |= LVIS_FOCUSED;
    return state & mask;
}

int CListCtrl::GetNextItem(int start, UINT flags) const {
    auto* l = AsList(widget_);
    if (!l) return -1;
    for (int row = start + 1; row < l->rowCount(); ++row) {
        if (flags == LVNI_ALL) return row;
        if ((GetItemState(row, flags) & flags) == flags) return row;
    }
    return -1;
}

// ---- painting ----

CPaintDC::CPaintDC(CWnd* wnd) : wnd_(wnd) {
    if (wnd_ && wnd_->Widget()) painter_ = std::make_unique<QPainter>(wnd_->Widget());
}

CPaintDC::~CPaintDC() = default;

void CPaintDC::FillBackground() {
    if (painter_) painter_->fillRect(wnd_->Widget()->rect(), wnd_->Widget()->palette().window());
}

void CPaintDC::DrawIcon(int x, int y, const HICON& icon) {
    if (painter_) painter_->drawPixmap(x, y, icon.pixmap(32, 32));
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        default:
            return 0;
    }
}
