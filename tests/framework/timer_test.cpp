// Window timers: ticks reach the timer handler; a tick that comes due while
// the handler runs is handled once, after it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "framework/dialog.h"
#include "test_dialog.h"

namespace {

class SlowTimerDlg : public CDialog {
  public:
    SlowTimerDlg() : CDialog(TestTemplate()) {}
    int depth = 0;
    int maxDepth = 0;
    int ticks = 0;
    int blockFirstMs = 0;  // the first tick keeps events flowing this long
    void OnTimer(UINT_PTR) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        ++ticks;
        if (ticks == 1 && blockFirstMs > 0) QTest::qWait(blockFirstMs);  // like a message box
        --depth;
    }
    DECLARE_MESSAGE_MAP()
};

// clang-format off
BEGIN_MESSAGE_MAP(SlowTimerDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()
// clang-format on

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QTest::qWait(5);
    return done();
}

TEST(WindowTimer, TicksReachTheHandlerWithTheirIdUntilKilled) {
    CTestDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.SetTimer(1, 10), 1u);
    EXPECT_TRUE(dlg.HasTimer(1));
    ASSERT_TRUE(WaitFor([&] { return dlg.calls.size() >= 2; }));
    EXPECT_EQ(dlg.calls[0], "timer1");
    EXPECT_TRUE(dlg.KillTimer(1));
    EXPECT_FALSE(dlg.KillTimer(1));
    const size_t seen = dlg.calls.size();
    QTest::qWait(60);
    EXPECT_EQ(dlg.calls.size(), seen);
    dlg.DestroyWindow();
}

TEST(WindowTimer, TicksDueDuringAHandlerRunOnceAfterItNeverInside) {
    SlowTimerDlg dlg;
    dlg.Create();
    dlg.blockFirstMs = 200;  // about twenty intervals
    dlg.SetTimer(1, 10);
    ASSERT_TRUE(WaitFor([&] { return dlg.ticks >= 2; }));
    dlg.KillTimer(1);
    EXPECT_EQ(dlg.maxDepth, 1);
    // The first tick, then the one owed for the whole blocked stretch (and at
    // most a few regular ones that came due since): never one per interval.
    EXPECT_LT(dlg.ticks, 10);
    dlg.DestroyWindow();
}

TEST(WindowTimer, DestroyStopsTheTimers) {
    SlowTimerDlg dlg;
    dlg.Create();
    dlg.SetTimer(1, 5);
    dlg.DestroyWindow();
    const int ticks = dlg.ticks;
    QTest::qWait(40);
    EXPECT_EQ(dlg.ticks, ticks);
}

}  // namespace

namespace {

class KillsItselfDlg : public CDialog {
  public:
    KillsItselfDlg() : CDialog(TestTemplate()) {}
    int ticks = 0;
    void OnTimer(UINT_PTR id) {
        ++ticks;
        KillTimer(id);  // as Disconnect pressed while a tick's box is open
        SetTimer(2, 5);
        KillTimer(2);
    }
    DECLARE_MESSAGE_MAP()
};

// clang-format off
BEGIN_MESSAGE_MAP(KillsItselfDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()
// clang-format on

TEST(WindowTimer, ATimerKilledInsideItsOwnTickStopsCleanly) {
    KillsItselfDlg dlg;
    dlg.Create();
    dlg.SetTimer(1, 5);
    ASSERT_TRUE(WaitFor([&] { return dlg.ticks >= 1; }));
    QTest::qWait(40);
    EXPECT_EQ(dlg.ticks, 1);
    EXPECT_FALSE(dlg.HasTimer(1));
    dlg.DestroyWindow();
}

}  // namespace
