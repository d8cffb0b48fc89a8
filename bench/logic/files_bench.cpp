// The file work behind one record and one save: each writer opens, writes
// and closes its file, so a fetch of 20000 values costs 20000 of these.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "day_log.h"
#include "output/csv_writer.h"
#include "scratch_folder.h"
#include "settings/settings_file.h"

namespace {

std::tm Tick() {
    std::tm t{};
    t.tm_year = 114;
    t.tm_mon = 7;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 12;
    return t;
}

StoredSettings Day() {
    StoredSettings s;
    s.recordNumber = 12;
    s.runningSum = 3456;
    s.logDate = "2014-08-10";
    s.customerId = "C01";
    s.productBatch = "B07";
    s.boxNum = "12";
    s.boxCount = "20";
    s.operatorText = "12";
    return s;
}

void BM_DayLogValueLine(benchmark::State& state) {
    ScratchFolder dir;
    const std::string path = dir / "2014-08-10.log";
    WriteDayLogHeader(path);
    const std::tm tick = Tick();
    for (auto _ : state) benchmark::DoNotOptimize(AppendValueLine(path, tick, "100"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DayLogValueLine);

void BM_CsvAppendLine(benchmark::State& state) {
    ScratchFolder dir;
    const std::string path = dir / "records.csv";
    const std::string line = CsvLine({"12", "100", "1200", "A7", "2014-08-10 09:05:03"});
    for (auto _ : state) benchmark::DoNotOptimize(AppendCsvLine(path, line));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CsvAppendLine);

void BM_SettingsRead(benchmark::State& state) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    WriteSettingsFile(where, Day());
    for (auto _ : state) {
        StoredSettings s;
        benchmark::DoNotOptimize(ReadSettingsFile(where, s));
    }
}
BENCHMARK(BM_SettingsRead);

// Includes the fsync of the new file and of its folder before the rename.
void BM_SettingsWrite(benchmark::State& state) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    const StoredSettings s = Day();
    for (auto _ : state) benchmark::DoNotOptimize(WriteSettingsFile(where, s));
}
BENCHMARK(BM_SettingsWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
