// CSV export lines: one line per record, five cells joined by ",", CR LF.
#pragma once

#include <array>
#include <string>

// The five cells of a record row: NUMBER, SINGLE QUANTITY, SUM OF COUNT,
// OPERATOR, RECORD TIME.
using CsvRow = std::array<std::string, 5>;

// One cell as written: unchanged, or, when it holds a comma, a double quote,
// CR or LF, enclosed in double quotes with each quote doubled, so that every
// reader splits the line into the same five fields.
std::string CsvCell(const std::string& text);

// The cells joined by "," and ended by CR LF, e.g.
// "12,100,1200,A7,2014-08-10 09:05:03\r\n".
std::string CsvLine(const CsvRow& cells);

// Appends line to the file at path, creating it when missing: one open,
// write and close per call, so a failure leaves every earlier line on disk.
// False with the reason in error (when given) if it cannot be written.
bool AppendCsvLine(const std::string& path, const std::string& line, std::string* error = nullptr);

// Whether anything exists under path (a file that cannot be read, a folder
// or a dangling symbolic link included): a chosen export file that exists is
// refused, never appended to.
bool ExportTargetExists(const std::string& path);
