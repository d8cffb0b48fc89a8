// The settings file: the eleven values the main window keeps across runs,
// read once at start and rewritten whole at every save.
#pragma once

#include <cstdint>
#include <string>

struct StoredSettings {
    // [Card Counter]
    std::int32_t recordNumber = 0;  // Count
    std::int32_t runningSum = 0;    // Sum
    std::int32_t specialCount = 1;  // SpecialCount
    std::string logDir;             // DIR_LOG (no built-in folder on Linux)
    std::string logDate;            // Filename, the day Count and Sum belong to
    std::string exportType;         // ExportType; exactly "csv" selects CSV export
    // [PrintInf]
    std::string customerId;    // CustomerID
    std::string productBatch;  // BatchNo
    std::string boxNum;        // BoxNo
    std::string boxCount;      // BoxTotalNo
    std::string operatorText;  // StampNo
};

// Where the settings file lies: the program's folder (with its trailing "/")
// and the program file's name without its extension; the file is
// folder + baseName + ".ini".
struct SettingsLocation {
    std::string folder;
    std::string baseName;
};

// Splits the program file's full path ("/opt/tally/tallydesk" gives
// "/opt/tally/" and "tallydesk"; "tallydesk.bin" gives "tallydesk").
SettingsLocation SettingsLocationFor(const std::string& programPath);

// The running program file's full path (/proc/self/exe); blank when unknown.
std::string ProgramFilePath();

// Reads the file. False when it cannot be opened; every field then keeps its
// value. A key that is missing (or on a line that cannot be read) keeps its
// field as well, so the caller fills in the defaults beforehand.
bool ReadSettingsFile(const SettingsLocation& where, StoredSettings& settings);

// Writes the fifteen lines of the file from the values as given (the caller
// has already put the check box state into specialCount and the Record Count
// text into boxNum). The new file is written beside the old one and renamed
// over it, so an interrupted save never leaves a cut file. False, with the
// reason in error when given, if the file cannot be written: a settings file
// without write permission for its owner counts as read-only and keeps its
// content.
bool WriteSettingsFile(const SettingsLocation& where, const StoredSettings& settings,
                       std::string* error = nullptr);

// The day check of the start: the stored counters belong to logDate; on any
// other day (exact comparison) record number and sum restart at 0 and
// logDate becomes today. today is the date part of the current time stamp.
// True when the counters were reset.
bool ApplyDayCheck(const std::string& today, std::int32_t& recordNumber, std::int32_t& runningSum,
                   std::string& logDate);
