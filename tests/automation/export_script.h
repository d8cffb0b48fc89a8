// Drives the spreadsheet server through exactly the calls the Excel export
// makes (the button handler and its sheet filling), so tests and benchmarks
// produce the files the export will produce without the main window.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dispatch.h"

namespace automation::testing {

struct ExportInput {
    std::string sheetTime = "20140810 090503";      // "%Y%m%d %H%M%S"
    std::string titleTime = "2014-08-10 09:05:03";  // "%Y-%m-%d %H:%M:%S"
    std::string operatorText = "A7";
    std::vector<std::string> headers = {"NUMBER", "SINGLE QUANTITY", "SUM OF COUNT", "OPERATOR",
                                        "RECORD TIME"};
    std::vector<std::array<std::string, 5>> rows;
    std::string path;  // SaveAs file name; empty: the workbook is not saved
};

// `count` records numbered from `count` down to 1, newest first, as the
// record list shows them.
std::vector<std::array<std::string, 5>> SampleRows(int count,
                                                   const std::string& operatorText = "A7");

// Initialises the thread, creates "Excel.Application", builds and saves the
// sheet, closes the workbook, quits and uninitialises. Stops at the first
// refused call and returns its status (cleaning up as the export does).
Status RunExport(const ExportInput& input);

}  // namespace automation::testing
