#include "app/output/excel_wrappers.h"

#include "automation/excel_dispids.h"

using automation::InvokeKind;
using automation::Status;
using automation::Variant;
using automation::VarType;
namespace excel = automation::excel;

namespace {

// Runs a get that hands out an object and attaches it to `out`. On a
// refusal `out` is left as it was.
Status GetObject(const automation::DispatchDriver& from, automation::DispId id,
                 const std::vector<Variant>& args, automation::DispatchDriver* out) {
    Variant value;
    Status status = from.InvokeHelper(id, InvokeKind::PropertyGet, VarType::Dispatch, &value, args);
    if (status.ok()) out->AttachDispatch(value.object());
    return status;
}

Status Put(const automation::DispatchDriver& on, automation::DispId id,
           const std::vector<Variant>& args) {
    return on.InvokeHelper(id, InvokeKind::PropertyPut, VarType::Empty, nullptr, args);
}

Status Call(const automation::DispatchDriver& on, automation::DispId id,
            const std::vector<Variant>& args = {}) {
    return on.InvokeHelper(id, InvokeKind::Method, VarType::Empty, nullptr, args);
}

}  // namespace

// ---- Application ----

Status CApplication::get_Workbooks(CWorkbooks* out) const {
    return GetObject(*this, excel::kWorkbooks, {}, out);
}

Status CApplication::put_Visible(bool visible) const {
    return Put(*this, excel::kVisible, {Variant::Bool(visible)});
}

Status CApplication::Quit() const { return Call(*this, excel::kQuit); }

// ---- Workbooks ----

Status CWorkbooks::Add(const Variant& templateArg, CWorkbook* out) const {
    Variant value;
    Status status =
        InvokeHelper(excel::kAdd, InvokeKind::Method, VarType::Dispatch, &value, {templateArg});
    if (status.ok()) out->AttachDispatch(value.object());
    return status;
}

Status CWorkbooks::Close() const { return Call(*this, excel::kClose); }

// ---- Workbook ----

Status CWorkbook::get_Name(std::string* name) const {
    Variant value;
    Status status = GetProperty(excel::kName, VarType::Bstr, &value);
    if (status.ok()) *name = value.bstr();
    return status;
}

Status CWorkbook::get_Worksheets(CWorksheets* out) const {
    return GetObject(*this, excel::kWorksheets, {}, out);
}

Status CWorkbook::SaveAs(const Variant& filename, const Variant& fileFormat,
                         const Variant& password, const Variant& writeResPassword,
                         const Variant& readOnlyRecommended, const Variant& createBackup,
                         std::int32_t accessMode, const Variant& conflictResolution,
                         const Variant& addToMru, const Variant& textCodepage,
                         const Variant& textVisualLayout, const Variant& local) const {
    return Call(*this, excel::kSaveAs,
                {filename, fileFormat, password, writeResPassword, readOnlyRecommended,
                 createBackup, Variant::I4(accessMode), conflictResolution, addToMru, textCodepage,
                 textVisualLayout, local});
}

Status CWorkbook::Close(const Variant& saveChanges, const Variant& filename,
                        const Variant& routeWorkbook) const {
    return Call(*this, excel::kClose, {saveChanges, filename, routeWorkbook});
}

// ---- Worksheets ----

Status CWorksheets::get_Count(std::int32_t* count) const {
    Variant value;
    Status status = GetProperty(excel::kCount, VarType::I4, &value);
    if (status.ok()) *count = value.i4();
    return status;
}

Status CWorksheets::get_Item(const Variant& index, CWorksheet* out) const {
    return GetObject(*this, excel::kItem, {index}, out);
}

// ---- Worksheet ----

Status CWorksheet::put_Name(const std::string& name) const {
    return Put(*this, excel::kName, {Variant::Bstr(name)});
}

Status CWorksheet::Delete() const { return Call(*this, excel::kDelete); }

Status CWorksheet::get_Cells(CRange* out) const { return GetObject(*this, excel::kCells, {}, out); }

Status CWorksheet::get_Columns(CRange* out) const {
    return GetObject(*this, excel::kColumns, {}, out);
}

Status CWorksheet::get_Range(const Variant& cell1, const Variant& cell2, CRange* out) const {
    return GetObject(*this, excel::kRange, {cell1, cell2}, out);
}

Status CWorksheet::get_UsedRange(CRange* out) const {
    return GetObject(*this, excel::kUsedRange, {}, out);
}

// ---- Range ----

Status CRange::get_Item(const Variant& rowIndex, const Variant& columnIndex, Variant* item) const {
    return InvokeHelper(excel::kItem, InvokeKind::PropertyGet, VarType::Dispatch, item,
                        {rowIndex, columnIndex});
}

Status CRange::put_Item(const Variant& rowIndex, const Variant& columnIndex,
                        const Variant& value) const {
    return Put(*this, excel::kItem, {rowIndex, columnIndex, value});
}

Status CRange::put_ColumnWidth(const Variant& width) const {
    return Put(*this, excel::kColumnWidth, {width});
}

Status CRange::put_RowHeight(const Variant& height) const {
    return Put(*this, excel::kRowHeight, {height});
}

Status CRange::Merge(const Variant& across) const { return Call(*this, excel::kMerge, {across}); }

Status CRange::put_HorizontalAlignment(const Variant& alignment) const {
    return Put(*this, excel::kHorizontalAlignment, {alignment});
}

Status CRange::put_VerticalAlignment(const Variant& alignment) const {
    return Put(*this, excel::kVerticalAlignment, {alignment});
}

Status CRange::get_Font(CExcelFont* out) const { return GetObject(*this, excel::kFont, {}, out); }

Status CRange::get_Interior(CInterior* out) const {
    return GetObject(*this, excel::kInterior, {}, out);
}

// ---- Font ----

Status CExcelFont::put_Name(const Variant& name) const { return Put(*this, excel::kName, {name}); }

Status CExcelFont::put_Size(const Variant& size) const { return Put(*this, excel::kSize, {size}); }

Status CExcelFont::put_Bold(const Variant& bold) const { return Put(*this, excel::kBold, {bold}); }

Status CExcelFont::put_ColorIndex(const Variant& colorIndex) const {
    return Put(*this, excel::kColorIndex, {colorIndex});
}

// ---- Interior ----

Status CInterior::put_Color(const Variant& color) const {
    return Put(*this, excel::kColor, {color});
}
