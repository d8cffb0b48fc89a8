// The Qt widgets behind the dialog controls (framework internal).
#pragma once

#include <QHeaderView>
#include <QMouseEvent>
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

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTableWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && onClick) {
            const QModelIndex index = indexAt(event->position().toPoint());
            onClick(index.isValid() ? index.row() : -1, index.isValid() ? index.column() : 0);
        }
    }
};
