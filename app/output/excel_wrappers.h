// Typed wrappers of the spreadsheet program's automation objects, as the
// Excel export uses them. Each wrapper holds one dispatch reference (the
// DispatchDriver it derives from) and each member is one InvokeHelper call
// with the member's fixed dispatch identifier, call kind and result type;
// there is no name lookup at run time.
//
// A member that hands out another object attaches it to the wrapper given
// as `out`, releasing what that wrapper held before, so one CRange can be
// re-pointed at range after range. Every member returns the call's Status:
// a refusal carries the server's own text for the operator.
#pragma once

#include <cstdint>
#include <string>

#include "automation/dispatch_driver.h"
#include "automation/variant.h"

class CWorkbooks;
class CWorkbook;
class CWorksheets;
class CWorksheet;
class CRange;
class CExcelFont;
class CInterior;

class CApplication : public automation::DispatchDriver {
  public:
    automation::Status get_Workbooks(CWorkbooks* out) const;
    automation::Status put_Visible(bool visible) const;
    automation::Status Quit() const;
};

class CWorkbooks : public automation::DispatchDriver {
  public:
    // Template: the missing-argument variant makes a new default workbook.
    automation::Status Add(const automation::Variant& templateArg, CWorkbook* out) const;
    automation::Status Close() const;
};

class CWorkbook : public automation::DispatchDriver {
  public:
    automation::Status get_Name(std::string* name) const;
    automation::Status get_Worksheets(CWorksheets* out) const;
    // AccessMode is the one argument that is a plain 32-bit integer; the
    // others are variants, the missing-argument variant where left out.
    automation::Status SaveAs(
        const automation::Variant& filename, const automation::Variant& fileFormat,
        const automation::Variant& password, const automation::Variant& writeResPassword,
        const automation::Variant& readOnlyRecommended, const automation::Variant& createBackup,
        std::int32_t accessMode, const automation::Variant& conflictResolution,
        const automation::Variant& addToMru, const automation::Variant& textCodepage,
        const automation::Variant& textVisualLayout, const automation::Variant& local) const;
    automation::Status Close(const automation::Variant& saveChanges,
                             const automation::Variant& filename,
                             const automation::Variant& routeWorkbook) const;
};

class CWorksheets : public automation::DispatchDriver {
  public:
    automation::Status get_Count(std::int32_t* count) const;
    automation::Status get_Item(const automation::Variant& index, CWorksheet* out) const;
};

class CWorksheet : public automation::DispatchDriver {
  public:
    automation::Status put_Name(const std::string& name) const;
    automation::Status Delete() const;
    automation::Status get_Cells(CRange* out) const;
    automation::Status get_Columns(CRange* out) const;
    automation::Status get_Range(const automation::Variant& cell1, const automation::Variant& cell2,
                                 CRange* out) const;
    automation::Status get_UsedRange(CRange* out) const;
};

class CRange : public automation::DispatchDriver {
  public:
    // The cell (or, on a range of columns, the column) at the two indexes:
    // a variant holding a Range.
    automation::Status get_Item(const automation::Variant& rowIndex,
                                const automation::Variant& columnIndex,
                                automation::Variant* item) const;
    automation::Status put_Item(const automation::Variant& rowIndex,
                                const automation::Variant& columnIndex,
                                const automation::Variant& value) const;
    automation::Status put_ColumnWidth(const automation::Variant& width) const;
    automation::Status put_RowHeight(const automation::Variant& height) const;
    automation::Status Merge(const automation::Variant& across) const;
    automation::Status put_HorizontalAlignment(const automation::Variant& alignment) const;
    automation::Status put_VerticalAlignment(const automation::Variant& alignment) const;
    automation::Status get_Font(CExcelFont* out) const;
    automation::Status get_Interior(CInterior* out) const;
};

// A range's font (named apart from the framework's CFont, the screen font).
class CExcelFont : public automation::DispatchDriver {
  public:
    automation::Status put_Name(const automation::Variant& name) const;
    automation::Status put_Size(const automation::Variant& size) const;
    automation::Status put_Bold(const automation::Variant& bold) const;
    automation::Status put_ColorIndex(const automation::Variant& colorIndex) const;
};

class CInterior : public automation::DispatchDriver {
  public:
    // Colour value 0x00BBGGRR.
    automation::Status put_Color(const automation::Variant& color) const;
};
