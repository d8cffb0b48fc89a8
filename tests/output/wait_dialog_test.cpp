// The "Please Wait" window an export shows: its template, the calling
// order of the exports, and a bar that only moves forwards.
#include "app/output/wait_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QWindow>

#include "main_window_fixture.h"

namespace {

class WaitDialogTest : public MainWindowTest {
  protected:
    WaitDialogTest() { owner.Create(); }
    ~WaitDialogTest() override { owner.DestroyWindow(); }
    CMytallydeskDlg owner;
};

TEST_F(WaitDialogTest, ShownOverItsOwnerAndDrawnBeforeTheExportLoop) {
    CWaitDialog wait(&owner);
    ASSERT_TRUE(wait.Create());
    QWidget* window = wait.Widget();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible()) << "hidden until the export shows it";
    EXPECT_EQ(window->parentWidget(), owner.Widget());
    EXPECT_EQ(window->windowTitle(), "Please Wait");
    EXPECT_FALSE(wait.GetDlgItem(IDOK)->IsWindowVisible());
    EXPECT_FALSE(wait.GetDlgItem(IDCANCEL)->IsWindowVisible());
    EXPECT_EQ(wait.GetDlgItemText(CWaitDialog::IDC_WAIT_MESSAGE), "");
    EXPECT_EQ(wait.GetDlgItemText(CWaitDialog::IDC_WAIT_SECOND_TEXT), "");
    auto* bar =
        qobject_cast<QProgressBar*>(wait.GetDlgItem(CWaitDialog::IDC_WAIT_PROGRESS)->Widget());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(wait.GetProgress(), 0);

    // The exports' calling order; no event loop runs after it.
    wait.ShowWindow(SW_SHOW);
    wait.SetMessage("Exporting Record Data,Please Wait...");
    wait.Invalidate(TRUE);
    wait.UpdateWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowHandle()->isExposed());
    EXPECT_EQ(wait.GetDlgItemText(CWaitDialog::IDC_WAIT_MESSAGE),
              "Exporting Record Data,Please Wait...");

    wait.Close();
    EXPECT_EQ(wait.Widget(), nullptr);
    wait.Close();  // a second close does nothing
}

TEST_F(WaitDialogTest, BarOnlyMovesForwardsWithinOneExport) {
    CWaitDialog wait(&owner);
    wait.Create();
    wait.ShowWindow(SW_SHOW);
    struct Step {
        int set, shown;
    };
    const Step steps[] = {{33, 33}, {20, 33}, {66, 66}, {-5, 66}, {150, 100}, {99, 100}};
    for (const Step& s : steps) {
        wait.SetProgress(s.set);
        EXPECT_EQ(wait.GetProgress(), s.shown) << "after " << s.set;
    }
    wait.Close();
    wait.SetProgress(10);  // after Close: nothing, no crash
}

TEST_F(WaitDialogTest, SingleRecordGoesStraightToTheEnd) {
    CWaitDialog wait(&owner);
    wait.Create();
    wait.SetProgress(100 * 1 / 1);
    EXPECT_EQ(wait.GetProgress(), 100);
    // Each export has a window of its own, starting at 0 again.
    wait.Close();
    CWaitDialog next(&owner);
    next.Create();
    EXPECT_EQ(next.GetProgress(), 0);
}

}  // namespace
