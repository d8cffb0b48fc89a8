// Taking in one fetch: the values a single GetDov_Oz_Er_Record delivers go
// through the fetch loop of the capture tick (row on top of the list, two
// day log lines each, refresh of the bound controls), offscreen.
//
//   app_capture_bench [RUNS]
//
// For 1000, 5000 and 20000 values (the fetch buffer's size) into an empty
// list, and 20000 more into a list already holding 60000 rows (a long day),
// it reports the best and median time of one tick over RUNS fresh windows,
// the time per record, and the time the first paint afterwards takes.
#include <time.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/device_calls.h"
#include "app/main_dialog.h"
#include "framework/testing/scripted.h"

namespace {

double NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A machine that hands over the prepared batches, one a fetch, then nothing.
class Batches : public DeviceCalls {
  public:
    std::vector<std::vector<int>> batches;
    size_t given = 0;
    int ConnectDov_Oz_Er() override { return 1; }
    int DisConnectDov_Oz_Er() override { return 1; }
    int GetDov_Oz_Er_State(int*, int*) override { return 0; }
    int GetDov_Oz_Er_Record(unsigned* count, int* values) override {
        if (given == batches.size()) return 0;
        const std::vector<int>& batch = batches[given++];
        std::copy(batch.begin(), batch.end(), values);
        *count = static_cast<unsigned>(batch.size());
        return 1;
    }
};

struct Timing {
    double tick;
    double paint;
};

// Quantities as the machine makes them, no two neighbours equal so that
// every value is a record also with SPECIAL_COUNT on.
std::vector<int> Quantities(int n) {
    std::vector<int> q;
    for (int i = 0; i < n; ++i) q.push_back(100 + i % 7);
    return q;
}

// One tick of n values into a list that already holds rowsBefore rows.
Timing OneRun(int n, int rowsBefore) {
    ScriptedDialogs dialogs;
    TempProgramLocation location("tallydesk");
    FixedClock clock(2014, 8, 10, 9, 5, 12);
    Batches device;
    for (int left = rowsBefore; left > 0; left -= 20000)
        device.batches.push_back(Quantities(std::min(left, 20000)));
    device.batches.push_back(Quantities(n));
    ScopedSeam<MessageBoxService> boxes(&dialogs);
    ScopedSeam<ProgramLocation> where(&location);
    ScopedSeam<Clock> now(&clock);
    ScopedSeam<DeviceCalls> machine(&device);

    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.ShowWindow(SW_SHOW);
    QApplication::processEvents();
    while (device.given + 1 < device.batches.size()) dlg.PollRecords();
    QApplication::processEvents();

    const double start = NowMs();
    dlg.PollRecords();
    const double taken = NowMs();
    QApplication::processEvents();
    dlg.Widget()->repaint();
    const double painted = NowMs();
    if (dlg.m_list.GetItemCount() != rowsBefore + n) {
        std::fprintf(stderr, "expected %d rows, got %d\n", rowsBefore + n,
                     dlg.m_list.GetItemCount());
        std::exit(1);
    }
    dlg.DestroyWindow();
    return {taken - start, painted - taken};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("%8s %10s %10s %10s %14s %10s\n", "values", "rows before", "best ms", "median ms",
                "us per record", "paint ms");
    const std::pair<int, int> cases[] = {{1000, 0}, {5000, 0}, {20000, 0}, {20000, 60000}};
    for (const auto& [n, before] : cases) {
        std::vector<Timing> t;
        for (int r = 0; r < runs; ++r) t.push_back(OneRun(n, before));
        std::sort(t.begin(), t.end(),
                  [](const Timing& a, const Timing& b) { return a.tick < b.tick; });
        const Timing& median = t[t.size() / 2];
        std::printf("%8d %10d %10.1f %10.1f %14.2f %10.1f\n", n, before, t.front().tick,
                    median.tick, median.tick * 1000.0 / n, median.paint);
        std::fflush(stdout);
    }
    return 0;
}
