// Whole-run timing of the Excel export's work on the automation side: the
// server driven through the export's calls (one call per cell) for N
// records, then SaveAs, in one process per run so the peak memory is that
// run's own.
//
//   automation_export_bench <records> <file.xls|file.xlsx>
//
// Prints the time of filling the sheet, of saving, the total, and the
// process's peak resident memory (VmHWM).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "export_script.h"

namespace {

long PeakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <records> <file.xls|file.xlsx>\n", argv[0]);
        return 2;
    }
    automation::testing::ExportInput input;
    input.rows = automation::testing::SampleRows(std::atoi(argv[1]));
    input.path = argv[2];
    const long before = PeakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    const automation::Status status = automation::testing::RunExport(input);
    const auto end = std::chrono::steady_clock::now();
    if (!status.ok()) {
        std::fprintf(stderr, "export failed: %s\n", status.text.c_str());
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    std::printf("records=%zu file=%s total_ms=%.1f peak_rss_mb=%.1f (input rows alone %.1f MB)\n",
                input.rows.size(), input.path.c_str(), ms, PeakKilobytes() / 1024.0,
                before / 1024.0);
    return 0;
}
