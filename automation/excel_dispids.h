// Dispatch identifiers and constants of the spreadsheet program's object
// model, fixed by its type library. Client code calls members by these
// numbers (no name lookup at run time) and the in-process server answers to
// the same numbers. A member of the same name has the same identifier on
// every object.
#pragma once

#include "dispatch.h"

namespace automation {

inline constexpr const char* kExcelProgId = "Excel.Application";

namespace excel {

// Application
constexpr DispId kWorkbooks = 0x23C;  // get -> Workbooks
constexpr DispId kQuit = 0x12E;       // method
constexpr DispId kVisible = 0x22E;    // put/get boolean
// Workbooks
constexpr DispId kAdd = 0xB5;     // method (Template) -> Workbook
constexpr DispId kClose = 0x115;  // method; on Workbook (SaveChanges, Filename, RouteWorkbook)
// Workbook
constexpr DispId kName = 0x6E;         // get/put; also Worksheet.Name and Font.Name
constexpr DispId kWorksheets = 0x1EE;  // get -> Worksheets
constexpr DispId kSaveAs = 0x785;      // method, twelve arguments
// Worksheets
constexpr DispId kItem = 0xAA;  // get (Index) -> Worksheet; on Range get/put (Row, Column[, value])
constexpr DispId kCount = 0x76;  // get -> I4
// Worksheet
constexpr DispId kDelete = 0x75;      // method
constexpr DispId kCells = 0xEE;       // get -> Range (whole sheet)
constexpr DispId kColumns = 0xF1;     // get -> Range (all columns)
constexpr DispId kRows = 0x102;       // get -> Range (all rows)
constexpr DispId kRange = 0xC5;       // get (Cell1[, Cell2]) -> Range
constexpr DispId kUsedRange = 0x19C;  // get -> Range
// Range
constexpr DispId kValue = 0x06;                // get/put
constexpr DispId kAddress = 0xEC;              // get -> "$A$1:$G$1"
constexpr DispId kColumnWidth = 0xF2;          // get/put, in characters
constexpr DispId kRowHeight = 0x110;           // get/put, in points
constexpr DispId kMerge = 0x234;               // method (Across)
constexpr DispId kHorizontalAlignment = 0x88;  // get/put
constexpr DispId kVerticalAlignment = 0x89;    // get/put
constexpr DispId kFont = 0x92;                 // get -> Font
constexpr DispId kInterior = 0x81;             // get -> Interior
// Font (Name shares kName)
constexpr DispId kSize = 0x68;
constexpr DispId kBold = 0x60;
constexpr DispId kColorIndex = 0x61;  // also Interior.ColorIndex
// Interior
constexpr DispId kColor = 0x63;  // colour value 0x00BBGGRR

// Alignment constants (XlHAlign / XlVAlign).
constexpr int kAlignGeneral = 1;
constexpr int kAlignLeft = -4131;
constexpr int kAlignCenter = -4108;
constexpr int kAlignRight = -4152;
constexpr int kAlignFill = 5;
constexpr int kAlignJustify = -4130;
constexpr int kAlignCenterAcrossSelection = 7;
constexpr int kAlignDistributed = -4117;
constexpr int kAlignTop = -4160;
constexpr int kAlignBottom = -4107;

// Colour index constants.
constexpr int kColorIndexAutomatic = -4105;
constexpr int kColorIndexNone = -4142;

// Workbooks.Add template: a workbook of one worksheet.
constexpr int kTemplateWorksheet = -4167;

// SaveAs FileFormat values.
constexpr int kFileFormatWorkbookNormal = -4143;
constexpr int kFileFormatExcel8 = 56;
constexpr int kFileFormatOpenXmlWorkbook = 51;

}  // namespace excel
}  // namespace automation
