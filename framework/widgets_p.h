// The Qt widgets behind the dialog controls (framework internal).
#pragma once

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QWidget>
#include <functional>

class CDialog;

// While above zero, window timer ticks are not handled (they fold into the
// next one): drawing a window at once must not run a capture tick.
int& TimerHoldDepth();

// The dialog's top-level window: hands keys, the close request and painting
// to its CDialog.
class DialogWindow : public QWidget {
  public:
    DialogWindow(CDialog* dialog, QWidget* owner, Qt::WindowFlags flags)
        : QWidget(owner, flags), dialog_(dialog) {}
    void Detach() { dialog_ = nullptr; }
    bool eventFilter(QObject* watched, QEvent* event) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    CDialog* dialog_;
};

// The report-view list: a table without row headers whose cells cannot be
// edited; a mouse click reports the row under the pointer (-1 beside the
// rows), as the list's click notification does.
class ListViewWidget : public QTableWidget {
  public:
    explicit ListViewWidget(QWidget* parent) : QTableWidget(parent) {
        verticalHeader()->hide();
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setShowGrid(false);
        setWordWrap(false);
        // Selecting or focusing a row does not scroll the list to it.
        setAutoScroll(false);
        horizontalHeader()->setHighlightSections(false);
        horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    }
    std::function<void(int row, int col)> onClick;
    unsigned extendedStyle = 0;

    // Selects and focuses rows for the program without the view reacting to
    // each change: the selection model's signals are held while it changes,
    // and the view hears of the outcome once, when the event loop runs
    // again. A fetch that adds and selects thousands of rows one by one
    // otherwise pays for a repaint region and an accessibility event per
    // row, although only the last state is ever shown.
    template <typename Change>
    void ChangeSelectionQuietly(Change change) {
        QItemSelectionModel* sel = selectionModel();
        if (!notifyPending_) {
            notifyPending_ = true;
            shownCurrent_ = sel->currentIndex();
            QMetaObject::invokeMethod(
                this, [this] { NotifySelection(); }, Qt::QueuedConnection);
        }
        const QSignalBlocker hold(sel);
        change(sel);
    }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTableWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && onClick) {
            const QModelIndex index = indexAt(event->position().toPoint());
            onClick(index.isValid() ? index.row() : -1, index.isValid() ? index.column() : 0);
        }
    }

  private:
    // The held changes reach the view as one: the selection as it is now,
    // the focus moved from where the view last saw it, and the whole
    // viewport redrawn (the rows the old selection covered have moved).
    void NotifySelection() {
        notifyPending_ = false;
        QItemSelectionModel* sel = selectionModel();
        const QModelIndex current = sel->currentIndex();
        selectionChanged(sel->selection(), QItemSelection());
        if (current != shownCurrent_) currentChanged(current, shownCurrent_);
        viewport()->update();
    }

    bool notifyPending_ = false;
    QPersistentModelIndex shownCurrent_;
};
