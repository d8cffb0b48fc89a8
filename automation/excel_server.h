// The in-process server registered as "Excel.Application".
//
// It answers the spreadsheet program's object model (Application, Workbooks,
// Workbook, Worksheets, Worksheet, Range, Font, Interior) by dispatch
// identifier (excel_dispids.h), keeps the workbooks in WorkbookModel, and
// refuses what the spreadsheet program refuses: an unknown identifier or
// call kind, a bad argument, a bad sheet name, deleting the last sheet or a
// sheet that is not there, calls on closed workbooks or deleted sheets. Every
// refusal carries a text for the operator, prefixed with "Object.Member: ".
//
// A new workbook holds three worksheets, Sheet1 to Sheet3. SaveAs writes the
// file through workbook_file.h.
#pragma once

#include <memory>

#include "com_runtime.h"
#include "excel_dispids.h"
#include "workbook_model.h"

namespace automation {

// A factory that starts a new, invisible Application for each creation.
ServerFactory ExcelServerFactory();

// A new Application object, without the registry.
DispatchPtr CreateExcelApplication();

// The model behind a Workbook or Worksheet object of this server, for tests
// and tools that inspect what was built; null for any other object.
std::shared_ptr<WorkbookModel> WorkbookModelOf(const DispatchPtr& object);

}  // namespace automation
