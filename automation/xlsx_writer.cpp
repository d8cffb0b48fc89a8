#include "xlsx_writer.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "palette.h"

namespace automation {

namespace {

constexpr const char* kStandardFont = "Calibri";
constexpr double kStandardFontSize = 11;
// Calibri 11 is also what libxlsxwriter's default format uses; its rows are
// 15 points high.
constexpr double kStandardRowHeight = 15;

// libxlsxwriter reads 0 as "no colour", so black has a value of its own.
lxw_color_t LxwColor(std::uint32_t rgb) {
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

lxw_format_alignments HAlignOf(HAlign a) {
    switch (a) {
        case HAlign::General:
            return LXW_ALIGN_NONE;
        case HAlign::Left:
            return LXW_ALIGN_LEFT;
        case HAlign::Center:
            return LXW_ALIGN_CENTER;
        case HAlign::Right:
            return LXW_ALIGN_RIGHT;
        case HAlign::Fill:
            return LXW_ALIGN_FILL;
        case HAlign::Justify:
            return LXW_ALIGN_JUSTIFY;
        case HAlign::CenterAcross:
            return LXW_ALIGN_CENTER_ACROSS;
        case HAlign::Distributed:
            return LXW_ALIGN_DISTRIBUTED;
    }
    return LXW_ALIGN_NONE;
}

lxw_format_alignments VAlignOf(VAlign a) {
    switch (a) {
        case VAlign::Top:
            return LXW_ALIGN_VERTICAL_TOP;
        case VAlign::Center:
            return LXW_ALIGN_VERTICAL_CENTER;
        case VAlign::Bottom:
            return LXW_ALIGN_VERTICAL_BOTTOM;
        case VAlign::Justify:
            return LXW_ALIGN_VERTICAL_JUSTIFY;
        case VAlign::Distributed:
            return LXW_ALIGN_VERTICAL_DISTRIBUTED;
    }
    return LXW_ALIGN_VERTICAL_BOTTOM;
}

// The libxlsxwriter format for each model format; null for the standard one.
std::vector<lxw_format*> MakeFormats(lxw_workbook* workbook, const WorkbookModel& book) {
    std::vector<lxw_format*> formats(book.FormatCount(), nullptr);
    for (std::size_t i = 1; i < book.FormatCount(); ++i) {
        const CellFormat& f = book.Format(static_cast<std::uint32_t>(i));
        lxw_format* format = workbook_add_format(workbook);
        if (!format) continue;
        format_set_font_name(format, f.fontName.empty() ? kStandardFont : f.fontName.c_str());
        format_set_font_size(format, f.fontSize > 0 ? f.fontSize : kStandardFontSize);
        if (f.bold) format_set_bold(format);
        if (f.fontColorIndex > 0)
            format_set_font_color(format, LxwColor(PaletteRgb(f.fontColorIndex)));
        if (f.fillRgb >= 0) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, LxwColor(static_cast<std::uint32_t>(f.fillRgb)));
        }
        if (f.hAlign != HAlign::General) format_set_align(format, HAlignOf(f.hAlign));
        if (f.vAlign != VAlign::Bottom) format_set_align(format, VAlignOf(f.vAlign));
        formats[i] = format;
    }
    return formats;
}

lxw_error WriteSheet(lxw_worksheet* ws, const SheetModel& sheet,
                     const std::vector<lxw_format*>& formats) {
    lxw_error err = LXW_NO_ERROR;
    const auto keep = [&err](lxw_error e) {
        if (err == LXW_NO_ERROR && e != LXW_NO_ERROR) err = e;
    };
    // One call per run of neighbouring columns of one width and format: the
    // file's column elements must not overlap.
    struct Run {
        std::int32_t first = -1, last = -1;
        double width = 0;
        std::uint32_t format = 0;
    } run;
    const auto flush = [&]() {
        if (run.first >= 0) {
            keep(worksheet_set_column(ws, static_cast<lxw_col_t>(run.first),
                                      static_cast<lxw_col_t>(run.last), run.width,
                                      formats[run.format]));
        }
        run.first = -1;
    };
    const auto addColumn = [&](std::int32_t col) {
        auto width = sheet.columnWidths.find(col);
        auto format = sheet.columnFormats.find(col);
        const double w = width != sheet.columnWidths.end() ? width->second : sheet.standardWidth;
        const std::uint32_t f = format != sheet.columnFormats.end() ? format->second : 0;
        if (run.first >= 0 && col == run.last + 1 && w == run.width && f == run.format) {
            run.last = col;
            return;
        }
        flush();
        run = Run{col, col, w, f};
    };
    if (std::fabs(sheet.standardWidth - 8.43) > 1e-9) {
        for (std::int32_t col = 0; col < kSheetColumns; ++col) addColumn(col);
    } else {
        std::set<std::int32_t> columns;
        for (const auto& w : sheet.columnWidths) columns.insert(w.first);
        for (const auto& f : sheet.columnFormats) columns.insert(f.first);
        for (std::int32_t col : columns) addColumn(col);
    }
    flush();

    if (sheet.standardHeight > 0) worksheet_set_default_row(ws, sheet.standardHeight, LXW_FALSE);
    std::set<std::int32_t> rows;
    for (const auto& h : sheet.rowHeights) rows.insert(h.first);
    for (const auto& f : sheet.rowFormats) rows.insert(f.first);
    for (std::int32_t row : rows) {
        auto height = sheet.rowHeights.find(row);
        auto format = sheet.rowFormats.find(row);
        lxw_format* f = format != sheet.rowFormats.end() ? formats[format->second] : nullptr;
        const double standard =
            sheet.standardHeight > 0 ? sheet.standardHeight : kStandardRowHeight;
        if (height != sheet.rowHeights.end() && height->second == 0) {
            lxw_row_col_options hidden = {1, 0, 0};
            keep(worksheet_set_row_opt(ws, static_cast<lxw_row_t>(row), standard, f, &hidden));
        } else {
            keep(worksheet_set_row(ws, static_cast<lxw_row_t>(row),
                                   height != sheet.rowHeights.end() ? height->second : standard,
                                   f));
        }
    }
    // Merged areas first: libxlsxwriter writes blanks into them, which the
    // cells below then replace.
    for (const CellRect& m : sheet.merges) {
        keep(worksheet_merge_range(ws, static_cast<lxw_row_t>(m.top),
                                   static_cast<lxw_col_t>(m.left), static_cast<lxw_row_t>(m.bottom),
                                   static_cast<lxw_col_t>(m.right), "",
                                   formats[sheet.FormatAt(m.top, m.left)]));
    }
    for (const auto& entry : sheet.cells) {
        const auto row = static_cast<lxw_row_t>(SheetModel::RowOf(entry.first));
        const auto col = static_cast<lxw_col_t>(SheetModel::ColumnOf(entry.first));
        const Cell& cell = entry.second;
        lxw_format* format = formats[cell.format];
        switch (cell.kind) {
            case CellKind::Text:
                keep(worksheet_write_string(ws, row, col, cell.text.c_str(), format));
                break;
            case CellKind::Number:
                keep(worksheet_write_number(ws, row, col, cell.number, format));
                break;
            case CellKind::Boolean:
                keep(worksheet_write_boolean(ws, row, col, cell.number != 0, format));
                break;
            case CellKind::Blank:
                // libxlsxwriter drops a blank without a format; ours always have one.
                keep(worksheet_write_blank(ws, row, col, format));
                break;
        }
    }
    return err;
}

}  // namespace

Status WriteXlsxFile(const WorkbookModel& book, const std::string& path) {
    const auto fail = [&path](const std::string& why) {
        return Status::Error(hr::kException, "Cannot save \"" + path + "\": " + why);
    };
    if (book.sheets.empty()) return fail("the workbook has no sheet.");
    // libxlsxwriter only finds out at the end, and then reports no cause;
    // ask the system first so the operator reads why.
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (access(folder.c_str(), W_OK) != 0) return fail(std::strerror(errno));
    lxw_workbook* workbook = workbook_new(path.c_str());
    if (!workbook) return fail("the workbook could not be started.");
    const std::vector<lxw_format*> formats = MakeFormats(workbook, book);
    lxw_error err = LXW_NO_ERROR;
    for (const auto& sheet : book.sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(workbook, sheet->name.c_str());
        if (!ws) {
            err = LXW_ERROR_SHEETNAME_ALREADY_USED;
            break;
        }
        err = WriteSheet(ws, *sheet, formats);
        if (err != LXW_NO_ERROR) break;
    }
    if (err != LXW_NO_ERROR) {
        // Close anyway to free it; the file is then removed so a partial
        // workbook never passes for a whole one.
        workbook_close(workbook);
        std::remove(path.c_str());
        return fail(lxw_strerror(err));
    }
    err = workbook_close(workbook);
    if (err != LXW_NO_ERROR) {
        std::string why = lxw_strerror(err);
        if (err == LXW_ERROR_CREATING_XLSX_FILE || err == LXW_ERROR_CREATING_TMPFILE) {
            why += " (check that the folder exists and can be written)";
        }
        return fail(why);
    }
    return Status::Ok();
}

}  // namespace automation
