// The day log: a plain-text file per day with a header line, batch headers,
// one line per captured quantity and batch ends. Every line ends in CR LF.
//
// Each writer opens the file, writes and closes it again; no handle is held
// between writes. The formatters take the local time from the caller.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// The header line, always at offset 0 of a day log (26 bytes).
extern const char kDayLogHeader[];

// Where the day log of a date lies.
struct DayLogPlace {
    std::string path;  // the day log itself
    // The Record folder beside the program, with its trailing "/", when the
    // log folder is blank; blank otherwise (the caller's remembered Record
    // folder then stays as it was).
    std::string recordFolder;
};

// logDir non-blank: logDir + "/" + date + ".log" (no "/" added when logDir
// already ends in one). Otherwise programFolder + "Record/" + date + ".log".
// date is YYYY-MM-DD. Creates nothing.
DayLogPlace ChooseDayLogPlace(const std::string& logDir, const std::string& programFolder,
                              const std::string& date);

// ChooseDayLogPlace, then creates the Record folder when it is the one
// chosen (a failure, such as an existing folder, is ignored). A chosen log
// folder is never created.
DayLogPlace PrepareDayLogPlace(const std::string& logDir, const std::string& programFolder,
                               const std::string& date);

// Creates the day log when missing (never truncating it) and writes the
// header at offset 0; an existing day log already starts with it, so its
// content stays. False when the file cannot be opened, created or written.
bool WriteDayLogHeader(const std::string& path);

// "  HH:MM:SS :" + text + CR LF.
std::string DayLogValueLine(const std::tm& local, const std::string& text);
// "------MM/DD/YYYY  HH:MM  BATCH -------- " + CR LF: month first, and the
// four-digit year although its format asks for two digits.
std::string DayLogBatchHeaderLine(const std::tm& local);
// "ProductBatch:" batch, "Operator:" op and "SCAN RESULT:", each + CR LF.
std::string DayLogBatchHeaderBody(const std::string& productBatch, const std::string& op);
// "----SUM IS :" + sum + " " + CR LF.
std::string DayLogBatchSumLine(std::int32_t totalSum);
// "-------------BATCH  END------------- " + CR LF.
extern const char kDayLogBatchEndLine[];

// The writers below append to an existing day log only: when the file is
// missing or cannot be opened they write nothing and return false, and the
// caller says nothing (log lines are skipped silently until the day log is
// made again).
bool AppendValueLine(const std::string& path, const std::tm& local, const std::string& text);
bool AppendBatchHeader(const std::string& path, const std::tm& local,
                       const std::string& productBatch, const std::string& op);
bool AppendBatchEnd(const std::string& path, std::int32_t totalSum);
