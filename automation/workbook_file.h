// Saving a workbook model to a file in the format its name asks for.
#pragma once

#include <string>

#include "dispatch.h"
#include "workbook_model.h"

namespace automation {

enum class WorkbookFileFormat {
    Biff8,  // Excel 97-2003 workbook (.xls), written by biff8_writer
    Xlsx,   // Office Open XML workbook, written through libxlsxwriter
};

// Xlsx for a name ending in ".xlsx" (in any case), Biff8 for anything else.
WorkbookFileFormat FileFormatForName(const std::string& path);

// Writes `book` to `path` in `format`; a failure names the file and the cause.
Status SaveWorkbookFile(const WorkbookModel& book, const std::string& path,
                        WorkbookFileFormat format);

}  // namespace automation
