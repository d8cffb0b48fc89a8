// Our own writer of Excel 97-2003 workbooks (BIFF8 records in a compound
// file), so the default export format needs no spreadsheet program.
//
// One function per record in biff8_writer.cpp, named after the record.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch.h"
#include "workbook_model.h"

namespace automation {

// The BIFF8 file format's own limits.
constexpr std::int32_t kBiff8Rows = 65536;
constexpr std::int32_t kBiff8Columns = 256;

// Column width as COLINFO stores it: 1/256 of the standard font's digit
// width, with the 5 pixels of cell padding that the spreadsheet program
// adds to the character count (widths are given in characters without it).
// For the standard 7-pixel digit, 20 characters is 145 pixels, stored as
// 5302; the program shows 20 again, a raw reader sees 20.71.
std::uint16_t ColumnWidthUnits(double characters);

// The bytes of the "Workbook" stream, or an empty string and `*error` when
// the workbook does not fit the format (data beyond row 65536 or column IV,
// more than 4000 distinct cell formats).
std::string BuildBiff8Workbook(const WorkbookModel& book, std::string* error);

// The whole .xls file (the stream in its compound file), or empty and
// `*error` as above.
std::string BuildBiff8File(const WorkbookModel& book, std::string* error);

// Writes the .xls file to `path`. A failure names the file and the reason.
Status WriteBiff8File(const WorkbookModel& book, const std::string& path);

}  // namespace automation
