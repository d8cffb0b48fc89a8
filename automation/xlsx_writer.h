// Office Open XML workbooks (.xlsx), written through libxlsxwriter.
#pragma once

#include <string>

#include "dispatch.h"
#include "workbook_model.h"

namespace automation {

// Writes `book` to `path`. A failure names the file and libxlsxwriter's
// reason.
Status WriteXlsxFile(const WorkbookModel& book, const std::string& path);

}  // namespace automation
