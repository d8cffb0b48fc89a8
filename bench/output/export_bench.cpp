// Both exports of a full list, offscreen, through the real window: the
// CSV export (every line appended with its own open, write and close) and
// the "Export EXCEL" button with the in-process spreadsheet server.
//
//   output_export_bench csv|excel RECORDS FILE [RUNS]
//
// Each run builds a fresh window holding RECORDS rows, then times one export
// (the Save dialog answered at once with FILE, removed before the run) from
// its start to its return. Reports the best and median time, the time per
// record, the file's size and the process's peak memory (VmHWM), which
// includes the list's own rows.

#include <time.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/device_calls.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "framework/testing/scripted.h"

namespace {

double NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class NoMachine : public DeviceCalls {
  public:
    int ConnectDov_Oz_Er() override { return 0; }
    int DisConnectDov_Oz_Er() override { return 1; }
    int GetDov_Oz_Er_State(int*, int*) override { return 0; }
    int GetDov_Oz_Er_Record(unsigned*, int*) override { return 0; }
};

std::string PeakMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return "?";
}

double OneRun(bool csv, int records, const std::string& file) {
    ScriptedDialogs dialogs;
    TempProgramLocation location("tallydesk");
    FixedClock clock(2014, 8, 10, 9, 5, 3);
    NoMachine device;
    ScopedSeam<MessageBoxService> boxes(&dialogs);
    ScopedSeam<FileDialogService> files(&dialogs);
    ScopedSeam<ProgramLocation> where(&location);
    ScopedSeam<Clock> now(&clock);
    ScopedSeam<DeviceCalls> machine(&device);

    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.ShowWindow(SW_SHOW);
    dlg.m_operator = "A7";
    long long sum = 0;
    for (int n = 1; n <= records; ++n) sum += 100 + n % 7;
    for (int i = 0; i < records; ++i) {
        const int n = records - i;
        dlg.m_list.InsertItem(i, std::to_string(n));
        dlg.m_list.SetItemText(i, 1, std::to_string(100 + n % 7));
        dlg.m_list.SetItemText(i, 2, std::to_string(sum));
        dlg.m_list.SetItemText(i, 3, "A7");
        dlg.m_list.SetItemText(i, 4, "2014-08-10 09:05:03");
        sum -= 100 + n % 7;
    }
    QApplication::processEvents();
    std::remove(file.c_str());
    dialogs.savePaths = {file};

    const double start = NowMs();
    if (csv)
        dlg.ExportCsv();
    else
        dlg.SendCommand(IDC_EXPORT_EXCEL);
    const double took = NowMs() - start;
    if (!dialogs.shown.empty()) {
        std::fprintf(stderr, "export refused: %s\n", dialogs.shown[0].text.c_str());
        std::exit(1);
    }
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 1 ? argv[1] : "";
    if (argc < 4 || (kind != "csv" && kind != "excel")) {
        std::fprintf(stderr, "usage: %s csv|excel RECORDS FILE [RUNS]\n", argv[0]);
        return 2;
    }
    ++argv;
    --argc;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = std::atoi(argv[1]);
    const std::string file = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) times.push_back(OneRun(kind == "csv", records, file));
    std::sort(times.begin(), times.end());
    std::ifstream saved(file, std::ios::binary | std::ios::ate);
    std::printf(
        "%d records to %s: best %.0f ms, median %.0f ms, %.1f us per record, "
        "file %lld bytes, peak memory%s\n",
        records, file.c_str(), times.front(), times[times.size() / 2],
        1000.0 * times[times.size() / 2] / std::max(records, 1),
        static_cast<long long>(saved.tellg()), PeakMemory().c_str());
    return 0;
}
