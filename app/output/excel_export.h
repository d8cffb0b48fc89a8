// Names the Excel export makes: the worksheet's name and the saved file's
// path. Plain text functions, so their rules are testable on their own.
#pragma once

#include <ctime>
#include <string>

// The record sheet's name: the start time as "%Y%m%d %H%M%S", then
// "_OPERATOR_" and the operator text, made fit for a sheet name. The
// spreadsheet program refuses a name longer than 31 characters (UTF-16
// units, as it counts) or holding any of : \ / ? * [ ], or ending in an
// apostrophe; since the operator may type anything, those characters become
// "_" and the name is cut after the 31st unit, never inside a character.
std::string RecordSheetName(const std::tm& start, const std::string& operatorText);

// The path the workbook is saved under: the chosen path with ".xls"
// appended unless it already holds the text ".xls" somewhere (compared
// case-sensitively, so "report.XLS" gets it too).
std::string WorkbookSavePath(const std::string& chosen);

// The text cut to at most `limit` characters (code points), never inside a
// character's UTF-8 bytes.
std::string CutToCharacters(const std::string& text, std::size_t limit);
