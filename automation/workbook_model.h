// The workbook the in-process spreadsheet server edits and its writers save:
// sheets of cells with values and formats, merged areas, row heights and
// column widths. Rows and columns are 0-based here; automation counts from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dispatch.h"

namespace automation {

// The grid of the current spreadsheet program (the binary 97-2003 format
// holds only 65536 rows and 256 columns; its writer checks that at saving).
constexpr std::int32_t kSheetRows = 1048576;
constexpr std::int32_t kSheetColumns = 16384;
// Longest cell text the spreadsheet program keeps, in UTF-16 units.
constexpr std::size_t kMaxCellText = 32767;
// Longest sheet name, in UTF-16 units.
constexpr std::size_t kMaxSheetName = 31;
// Largest area a single formatting or value call may touch cell by cell; a
// call beyond this is refused rather than left half done.
constexpr std::int64_t kMaxCellsPerCall = 2000000;

// A block of cells, inclusive bounds.
struct CellRect {
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;

    std::int64_t Area() const {
        return static_cast<std::int64_t>(bottom - top + 1) * (right - left + 1);
    }
    bool Contains(std::int32_t row, std::int32_t col) const {
        return row >= top && row <= bottom && col >= left && col <= right;
    }
    bool Intersects(const CellRect& o) const {
        return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
    }
    bool WholeColumns() const { return top == 0 && bottom == kSheetRows - 1; }
    bool WholeRows() const { return left == 0 && right == kSheetColumns - 1; }
    friend bool operator==(const CellRect& a, const CellRect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    }
};

// "A", "Z", "AA" ... for a 0-based column.
std::string ColumnLetters(std::int32_t col);
// "$A$1:$G$1", "$A$1" for one cell, "$C:$C" for whole columns, "$2:$3"
// for whole rows.
std::string RectAddress(const CellRect& rect);
// Parses "A1", "$B$2", "A1:G1" (letters in either case). False on anything
// else or a cell beyond the sheet.
bool ParseRectAddress(const std::string& text, CellRect* rect);

// The same numbers as the binary format's alignment fields.
enum class HAlign : std::uint8_t {
    General,
    Left,
    Center,
    Right,
    Fill,
    Justify,
    CenterAcross,
    Distributed
};
enum class VAlign : std::uint8_t { Top, Center, Bottom, Justify, Distributed };

// Everything a cell's look depends on. Defaults mean "as the workbook's
// standard style".
struct CellFormat {
    std::string fontName;  // empty: the standard font
    double fontSize = 0;   // points; 0: the standard size
    bool bold = false;
    int fontColorIndex = 0;     // ColorIndex 1..56; 0: automatic
    std::int32_t fillRgb = -1;  // 0xRRGGBB solid fill; -1: none
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;

    friend bool operator==(const CellFormat& a, const CellFormat& b) {
        return a.fontName == b.fontName && a.fontSize == b.fontSize && a.bold == b.bold &&
               a.fontColorIndex == b.fontColorIndex && a.fillRgb == b.fillRgb &&
               a.hAlign == b.hAlign && a.vAlign == b.vAlign;
    }
};

struct CellFormatHash {
    std::size_t operator()(const CellFormat& f) const;
};

enum class CellKind : std::uint8_t { Blank, Text, Number, Boolean };

struct Cell {
    CellKind kind = CellKind::Blank;
    std::uint32_t format = 0;  // index into the workbook's format table
    double number = 0;         // Number, and Boolean as 0/1
    std::string text;          // Text, valid UTF-8
};

class SheetModel {
  public:
    explicit SheetModel(std::string sheetName) : name(std::move(sheetName)) {}

    static std::uint64_t Key(std::int32_t row, std::int32_t col) {
        return (static_cast<std::uint64_t>(row) << 32) | static_cast<std::uint32_t>(col);
    }
    static std::int32_t RowOf(std::uint64_t key) { return static_cast<std::int32_t>(key >> 32); }
    static std::int32_t ColumnOf(std::uint64_t key) {
        return static_cast<std::int32_t>(key & 0xFFFFFFFFu);
    }

    const Cell* Find(std::int32_t row, std::int32_t col) const;
    // The format a cell without a format of its own shows: its row's, else
    // its column's, else the standard one (0).
    std::uint32_t InheritedFormat(std::int32_t row, std::int32_t col) const;
    // The format the cell shows.
    std::uint32_t FormatAt(std::int32_t row, std::int32_t col) const;
    // Bounding box of the cells that hold a value or a format, and of merged
    // areas; A1 alone on an empty sheet.
    CellRect UsedRange() const;
    // The merged area that contains the cell, if any.
    const CellRect* MergeAt(std::int32_t row, std::int32_t col) const;

    std::string name;
    bool deleted = false;
    // Row-major; a cell is present only while it holds a value or a format
    // other than the one it would inherit.
    std::map<std::uint64_t, Cell> cells;
    // Formats of whole rows and whole columns, which cells made later take.
    std::map<std::int32_t, std::uint32_t> rowFormats;
    std::map<std::int32_t, std::uint32_t> columnFormats;
    std::map<std::int32_t, double> rowHeights;    // points
    std::map<std::int32_t, double> columnWidths;  // characters
    double standardHeight = 0;                    // points; 0: from the standard font
    double standardWidth = 8.43;                  // characters
    std::vector<CellRect> merges;                 // never overlapping
};

class WorkbookModel {
  public:
    WorkbookModel();

    const CellFormat& Format(std::uint32_t index) const { return formats_[index]; }
    std::size_t FormatCount() const { return formats_.size(); }
    // Index of an equal format, added when new. Index 0 is the standard one.
    std::uint32_t Intern(const CellFormat& format);

    std::string name;  // "Book1", then the saved file's name
    std::string path;  // where it was last saved
    std::vector<std::shared_ptr<SheetModel>> sheets;

  private:
    std::vector<CellFormat> formats_;
    std::unordered_map<CellFormat, std::uint32_t, CellFormatHash> index_;
};

// Sets one cell's value, keeping its format (a new cell takes its row's or
// column's). A Blank value on a cell of the inherited format removes it.
void SetCellValue(SheetModel& sheet, std::int32_t row, std::int32_t col, const Cell& value);

// Changes the format of every cell of `rect` through `change`. Whole rows
// and whole columns change their row or column formats and the cells they
// already hold, as the spreadsheet program keeps them; any other block of
// more than kMaxCellsPerCall cells is refused with the reason.
Status ChangeFormat(WorkbookModel& book, SheetModel& sheet, const CellRect& rect,
                    const std::function<void(CellFormat&)>& change);

// Merges `rect` (each of its rows separately when `across`); merged areas it
// touches are taken into the new one. Values other than the top-left one of
// each new area are cleared, as the spreadsheet program does.
void MergeCells(SheetModel& sheet, const CellRect& rect, bool across);

// Validates a new name for `sheet` in `book`: 1 to 31 characters, none of
// : \ / ? * [ ], no apostrophe at either end, not "History", and not the
// name of another sheet (compared without case). Empty text when valid.
std::string SheetNameProblem(const WorkbookModel& book, const SheetModel* sheet,
                             const std::string& name);

}  // namespace automation
