#include "biff8_writer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

#include "compound_file.h"
#include "palette.h"
#include "utf.h"

namespace automation {

namespace {

// Record identifiers.
constexpr std::uint16_t kRecBof = 0x0809;
constexpr std::uint16_t kRecEof = 0x000A;
constexpr std::uint16_t kRecCodepage = 0x0042;
constexpr std::uint16_t kRecWindow1 = 0x003D;
constexpr std::uint16_t kRecDateMode = 0x0022;
constexpr std::uint16_t kRecPrecision = 0x000E;
constexpr std::uint16_t kRecFont = 0x0031;
constexpr std::uint16_t kRecXf = 0x00E0;
constexpr std::uint16_t kRecStyle = 0x0293;
constexpr std::uint16_t kRecBoundSheet = 0x0085;
constexpr std::uint16_t kRecSst = 0x00FC;
constexpr std::uint16_t kRecExtSst = 0x00FF;
constexpr std::uint16_t kRecContinue = 0x003C;
constexpr std::uint16_t kRecDefaultRowHeight = 0x0225;
constexpr std::uint16_t kRecDefColWidth = 0x0055;
constexpr std::uint16_t kRecColInfo = 0x007D;
constexpr std::uint16_t kRecDimensions = 0x0200;
constexpr std::uint16_t kRecRow = 0x0208;
constexpr std::uint16_t kRecIndex = 0x020B;
constexpr std::uint16_t kRecDbCell = 0x00D7;
constexpr std::uint16_t kRecLabelSst = 0x00FD;
constexpr std::uint16_t kRecBlank = 0x0201;
constexpr std::uint16_t kRecNumber = 0x0203;
constexpr std::uint16_t kRecBoolErr = 0x0205;
constexpr std::uint16_t kRecWindow2 = 0x023E;
constexpr std::uint16_t kRecMergedCells = 0x00E5;

// Longest record body; anything longer goes on in CONTINUE records.
constexpr std::size_t kMaxRecordBody = 8224;
// Merged areas per MERGEDCELLS record, the most the spreadsheet program reads.
constexpr std::size_t kMergesPerRecord = 1026;
// The spreadsheet program's ceiling on cell formats in a workbook.
constexpr std::size_t kMaxXfs = 4000;
// The first 15 XFs are style XFs, XF 15 is the standard cell format; the
// model's format n becomes XF 15 + n.
constexpr std::uint16_t kFirstCellXf = 15;

constexpr std::uint16_t kStandardFontTwips = 200;  // Arial 10
constexpr std::uint16_t kStandardRowTwips = 255;   // 12.75 pt, the row height of Arial 10
constexpr std::uint16_t kColorAutomatic = 0x7FFF;
constexpr std::uint16_t kColorSystemText = 0x40;
constexpr std::uint16_t kColorSystemBackground = 0x41;

// A record body under construction.
class Body {
  public:
    Body& U8(std::uint8_t v) {
        bytes_.push_back(static_cast<char>(v));
        return *this;
    }
    Body& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Body& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Body& F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
    }
    Body& Bytes(const std::string& b) {
        bytes_ += b;
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

bool FitsOneByte(const std::u16string& text) {
    for (char16_t c : text) {
        if (c > 0xFF) return false;
    }
    return true;
}

// The characters of a string, one byte each when every one fits (the
// format's "compressed" form), else UTF-16LE.
std::string StringChars(const std::u16string& text, bool compressed) {
    std::string out;
    out.reserve(text.size() * (compressed ? 1 : 2));
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        if (!compressed) out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// ShortXLUnicodeString: 8-bit length, flags, characters.
void ShortString(Body& body, const std::u16string& text) {
    const bool compressed = FitsOneByte(text);
    body.U8(static_cast<std::uint8_t>(text.size()))
        .U8(compressed ? 0 : 1)
        .Bytes(StringChars(text, compressed));
}

class RecordStream {
  public:
    std::size_t Position() const { return bytes_.size(); }
    std::string& bytes() { return bytes_; }

    // One record; a body over the size limit continues in CONTINUE records.
    void Record(std::uint16_t id, const std::string& body) {
        std::size_t done = 0;
        std::uint16_t type = id;
        do {
            const std::size_t part = std::min(kMaxRecordBody, body.size() - done);
            Raw(type, body.substr(done, part));
            done += part;
            type = kRecContinue;
        } while (done < body.size());
    }
    void Record(std::uint16_t id, const Body& body) { Record(id, body.bytes()); }

    void Raw(std::uint16_t id, const std::string& body) {
        Body header;
        header.U16(id).U16(static_cast<std::uint16_t>(body.size()));
        bytes_ += header.bytes();
        bytes_ += body;
    }

    void Patch32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }

  private:
    std::string bytes_;
};

// ------------------------------------------------------------ shared records

void WriteBof(RecordStream& s, std::uint16_t substreamType) {
    Body b;
    b.U16(0x0600)            // BIFF8
        .U16(substreamType)  // 0x0005 workbook globals, 0x0010 worksheet
        .U16(0x0DBB)         // build
        .U16(0x07CC)         // year
        .U32(0)              // file history flags
        .U32(0x00000006);    // lowest version that reads every record: BIFF8
    s.Record(kRecBof, b);
}

void WriteEof(RecordStream& s) { s.Record(kRecEof, std::string()); }

// ------------------------------------------------------------ globals

void WriteCodepage(RecordStream& s) { s.Record(kRecCodepage, Body().U16(1200)); }  // UTF-16

void WriteWindow1(RecordStream& s) {
    Body b;
    b.U16(0x0168)
        .U16(0x001E)
        .U16(0x3A5C)
        .U16(0x2328)   // position and size, in twips
        .U16(0x0038)   // horizontal and vertical scroll bars, sheet tabs
        .U16(0)        // active sheet
        .U16(0)        // first visible tab
        .U16(1)        // selected tabs
        .U16(0x0258);  // tab bar width ratio 600/1000
    s.Record(kRecWindow1, b);
}

void WriteDateMode(RecordStream& s) { s.Record(kRecDateMode, Body().U16(0)); }    // 1900 system
void WritePrecision(RecordStream& s) { s.Record(kRecPrecision, Body().U16(1)); }  // full precision

struct FontSpec {
    std::u16string name;
    std::uint16_t twips;
    bool bold;
    std::uint16_t color;  // palette index or automatic
    friend bool operator<(const FontSpec& a, const FontSpec& b) {
        return std::tie(a.name, a.twips, a.bold, a.color) <
               std::tie(b.name, b.twips, b.bold, b.color);
    }
};

std::uint8_t CharsetFor(const std::u16string& name) {
    for (char16_t c : name) {
        if (c >= 0x3000) return 134;  // GB2312: a CJK face such as 宋体
    }
    return 0;  // ANSI
}

void WriteFont(RecordStream& s, const FontSpec& font) {
    Body b;
    b.U16(font.twips)
        // Not italic, struck out, outlined or shadowed. Bit 0 repeats the
        // weight: it was the bold flag of older versions and readers use it.
        .U16(font.bold ? 1 : 0)
        .U16(font.color)
        .U16(font.bold ? 700 : 400)
        .U16(0)  // no super- or subscript
        .U8(0)   // no underline
        .U8(0)   // family: don't care
        .U8(CharsetFor(font.name))
        .U8(0);
    ShortString(b, font.name);
    s.Record(kRecFont, b);
}

struct XfSpec {
    std::uint16_t font = 0;
    bool style = false;
    std::uint16_t attributes = 0;  // the six "attribute used" bits, in place
    std::uint8_t hAlign = 0;
    std::uint8_t vAlign = 2;  // bottom
    int fill = -1;            // palette index of a solid fill, -1 none
};

void WriteXf(RecordStream& s, const XfSpec& xf) {
    const std::uint16_t fillColors =
        xf.fill < 0 ? static_cast<std::uint16_t>(kColorSystemText | (kColorSystemBackground << 7))
                    : static_cast<std::uint16_t>(xf.fill | (kColorSystemBackground << 7));
    Body b;
    b.U16(xf.font)
        .U16(0)                           // number format: General
        .U16(xf.style ? 0xFFF5 : 0x0001)  // locked; style XFs have no parent (0xFFF)
        .U8(static_cast<std::uint8_t>(xf.hAlign | (xf.vAlign << 4)))
        .U8(0)  // no rotation
        .U16(xf.attributes)
        .U32(0)                             // no borders
        .U32(xf.fill < 0 ? 0 : (1u << 26))  // fill pattern 1: solid
        .U16(fillColors);
    s.Record(kRecXf, b);
}

void WriteStyle(RecordStream& s) {
    // The built-in Normal style on XF 0.
    s.Record(kRecStyle, Body().U16(0x8000).U8(0).U8(0xFF));
}

// Returns the position of the sheet offset, patched once the sheet is written.
std::size_t WriteBoundSheet(RecordStream& s, const std::string& name) {
    const std::size_t at = s.Position() + 4;
    Body b;
    b.U32(0).U8(0).U8(0);  // offset (patched), visible, worksheet
    ShortString(b, Utf8ToUtf16(name));
    s.Record(kRecBoundSheet, b);
    return at;
}

class SharedStrings {
  public:
    std::uint32_t Add(const std::string& text) {
        ++total_;
        auto found = index_.find(text);
        if (found != index_.end()) return found->second;
        const auto i = static_cast<std::uint32_t>(strings_.size());
        index_.emplace(text, i);
        strings_.push_back(&index_.find(text)->first);
        return i;
    }
    std::uint32_t Index(const std::string& text) const { return index_.at(text); }
    std::uint32_t total() const { return total_; }
    const std::vector<const std::string*>& strings() const { return strings_; }

  private:
    std::unordered_map<std::string, std::uint32_t> index_;
    std::vector<const std::string*> strings_;
    std::uint32_t total_ = 0;
};

// SST with its CONTINUE records, then EXTSST. A string's header never
// splits; its characters may, and the continuing record then begins with
// one byte of flags saying whether the rest is compressed.
void WriteSst(RecordStream& s, const SharedStrings& sst) {
    std::vector<std::string> bodies(1);
    Body head;
    head.U32(sst.total()).U32(static_cast<std::uint32_t>(sst.strings().size()));
    bodies[0] = head.bytes();
    struct Where {
        std::size_t record;
        std::size_t offset;
    };
    std::vector<Where> starts;
    starts.reserve(sst.strings().size());
    for (const std::string* text : sst.strings()) {
        const std::u16string units = Utf8ToUtf16(*text);
        const bool compressed = FitsOneByte(units);
        const std::size_t unit = compressed ? 1 : 2;
        if (bodies.back().size() + 3 + (units.empty() ? 0 : unit) > kMaxRecordBody)
            bodies.emplace_back();
        starts.push_back(Where{bodies.size() - 1, bodies.back().size()});
        Body h;
        h.U16(static_cast<std::uint16_t>(units.size())).U8(compressed ? 0 : 1);
        bodies.back() += h.bytes();
        const std::string chars = StringChars(units, compressed);
        std::size_t done = 0;
        while (done < chars.size()) {
            std::size_t room = (kMaxRecordBody - bodies.back().size()) / unit * unit;
            if (room == 0) {
                bodies.emplace_back(1, static_cast<char>(compressed ? 0 : 1));
                continue;
            }
            const std::size_t part = std::min(room, chars.size() - done);
            bodies.back().append(chars, done, part);
            done += part;
        }
    }
    const std::size_t sstStart = s.Position();
    std::vector<std::size_t> recordStart;
    std::size_t pos = sstStart;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        recordStart.push_back(pos);
        s.Raw(i == 0 ? kRecSst : kRecContinue, bodies[i]);
        pos += 4 + bodies[i].size();
    }

    // EXTSST: where every dsst-th string starts, in at most 128 buckets.
    const std::size_t unique = starts.size();
    const std::size_t perBucket = std::max<std::size_t>(8, (unique + 127) / 128);
    Body ext;
    ext.U16(static_cast<std::uint16_t>(perBucket));
    for (std::size_t i = 0; i < unique; i += perBucket) {
        const Where& w = starts[i];
        ext.U32(static_cast<std::uint32_t>(recordStart[w.record] + 4 + w.offset))
            .U16(static_cast<std::uint16_t>(4 + w.offset))
            .U16(0);
    }
    s.Record(kRecExtSst, ext);
}

// ------------------------------------------------------------ worksheet

std::uint16_t RowTwips(double points) {
    return static_cast<std::uint16_t>(std::lround(points * 20));
}

void WriteDefaultRowHeight(RecordStream& s, const SheetModel& sheet) {
    const bool custom = sheet.standardHeight > 0;
    s.Record(kRecDefaultRowHeight,
             Body()
                 .U16(custom ? 1 : 0)
                 .U16(custom ? RowTwips(sheet.standardHeight) : kStandardRowTwips));
}

void WriteDefColWidth(RecordStream& s) { s.Record(kRecDefColWidth, Body().U16(8)); }

void WriteColInfo(RecordStream& s, std::int32_t first, std::int32_t last, std::uint16_t units,
                  std::uint16_t xf) {
    Body b;
    b.U16(static_cast<std::uint16_t>(first))
        .U16(static_cast<std::uint16_t>(last))
        .U16(units)
        .U16(xf)
        .U16(static_cast<std::uint16_t>(0x0002 |
                                        (units == 0 ? 0x0001 : 0)))  // width set; hidden at 0
        .U16(0);
    s.Record(kRecColInfo, b);
}

// One COLINFO per run of neighbouring columns of equal width and format:
// columns of a width or a format of their own, and with a changed standard
// width every column. Columns past IV do not exist in this format; their
// widths and formats are left out (their cells are refused before).
void WriteColInfos(RecordStream& s, const SheetModel& sheet) {
    const bool standardChanged = std::fabs(sheet.standardWidth - 8.43) > 1e-9;
    struct Run {
        std::int32_t first = -1, last = -1;
        std::uint16_t units = 0, xf = 0;
    } run;
    for (std::int32_t col = 0; col < kBiff8Columns; ++col) {
        auto width = sheet.columnWidths.find(col);
        auto format = sheet.columnFormats.find(col);
        const bool own = width != sheet.columnWidths.end() || format != sheet.columnFormats.end();
        if (!own && !standardChanged) continue;
        const std::uint16_t units = ColumnWidthUnits(
            width != sheet.columnWidths.end() ? width->second : sheet.standardWidth);
        const auto xf = static_cast<std::uint16_t>(
            kFirstCellXf + (format != sheet.columnFormats.end() ? format->second : 0));
        if (run.first >= 0 && col == run.last + 1 && units == run.units && xf == run.xf) {
            run.last = col;
            continue;
        }
        if (run.first >= 0) WriteColInfo(s, run.first, run.last, run.units, run.xf);
        run = Run{col, col, units, xf};
    }
    if (run.first >= 0) WriteColInfo(s, run.first, run.last, run.units, run.xf);
}

void WriteDimensions(RecordStream& s, const SheetModel& sheet) {
    Body b;
    if (sheet.cells.empty()) {
        b.U32(0).U32(0).U16(0).U16(0).U16(0);
    } else {
        std::int32_t left = kBiff8Columns, right = 0;
        for (const auto& entry : sheet.cells) {
            left = std::min(left, SheetModel::ColumnOf(entry.first));
            right = std::max(right, SheetModel::ColumnOf(entry.first));
        }
        b.U32(static_cast<std::uint32_t>(SheetModel::RowOf(sheet.cells.begin()->first)))
            .U32(static_cast<std::uint32_t>(SheetModel::RowOf(sheet.cells.rbegin()->first) + 1))
            .U16(static_cast<std::uint16_t>(left))
            .U16(static_cast<std::uint16_t>(right + 1))
            .U16(0);
    }
    s.Record(kRecDimensions, b);
}

void WriteRow(RecordStream& s, const SheetModel& sheet, std::int32_t row, std::int32_t firstCol,
              std::int32_t endCol) {
    auto custom = sheet.rowHeights.find(row);
    const bool isCustom = custom != sheet.rowHeights.end();
    const std::uint16_t standard =
        sheet.standardHeight > 0 ? RowTwips(sheet.standardHeight) : kStandardRowTwips;
    const std::uint16_t twips = isCustom ? RowTwips(custom->second) : standard;
    auto format = sheet.rowFormats.find(row);
    std::uint16_t flags = 0x0100;     // a bit the format requires set
    if (isCustom) flags |= 0x0040;    // height differs from the font's
    if (twips == 0) flags |= 0x0020;  // hidden; the height then keeps the standard
    if (format != sheet.rowFormats.end()) flags |= 0x0080;  // the row has a format of its own
    Body b;
    b.U16(static_cast<std::uint16_t>(row))
        .U16(static_cast<std::uint16_t>(firstCol))
        .U16(static_cast<std::uint16_t>(endCol))
        .U16(twips == 0 ? standard : twips)
        .U16(0)
        .U16(0)
        .U16(flags)
        .U16(static_cast<std::uint16_t>(kFirstCellXf +
                                        (format != sheet.rowFormats.end() ? format->second : 0)));
    s.Record(kRecRow, b);
}

void WriteLabelSst(RecordStream& s, std::int32_t row, std::int32_t col, std::uint16_t xf,
                   std::uint32_t isst) {
    s.Record(kRecLabelSst, Body()
                               .U16(static_cast<std::uint16_t>(row))
                               .U16(static_cast<std::uint16_t>(col))
                               .U16(xf)
                               .U32(isst));
}

void WriteNumber(RecordStream& s, std::int32_t row, std::int32_t col, std::uint16_t xf,
                 double value) {
    s.Record(kRecNumber, Body()
                             .U16(static_cast<std::uint16_t>(row))
                             .U16(static_cast<std::uint16_t>(col))
                             .U16(xf)
                             .F64(value));
}

void WriteBoolErr(RecordStream& s, std::int32_t row, std::int32_t col, std::uint16_t xf,
                  bool value) {
    s.Record(kRecBoolErr, Body()
                              .U16(static_cast<std::uint16_t>(row))
                              .U16(static_cast<std::uint16_t>(col))
                              .U16(xf)
                              .U8(value ? 1 : 0)
                              .U8(0));
}

void WriteBlank(RecordStream& s, std::int32_t row, std::int32_t col, std::uint16_t xf) {
    s.Record(
        kRecBlank,
        Body().U16(static_cast<std::uint16_t>(row)).U16(static_cast<std::uint16_t>(col)).U16(xf));
}

void WriteCell(RecordStream& s, std::int32_t row, std::int32_t col, const Cell& cell,
               const SharedStrings& sst) {
    const auto xf = static_cast<std::uint16_t>(kFirstCellXf + cell.format);
    switch (cell.kind) {
        case CellKind::Text:
            WriteLabelSst(s, row, col, xf, sst.Index(cell.text));
            break;
        case CellKind::Number:
            WriteNumber(s, row, col, xf, cell.number);
            break;
        case CellKind::Boolean:
            WriteBoolErr(s, row, col, xf, cell.number != 0);
            break;
        case CellKind::Blank:
            WriteBlank(s, row, col, xf);
            break;
    }
}

struct RowSpan {
    std::int32_t first = 0;
    std::int32_t end = 0;  // last column + 1; 0 for a row of height only
};

// Every row that needs a ROW record: those with cells and those of a
// height of their own.
std::map<std::int32_t, RowSpan> CollectRows(const SheetModel& sheet) {
    std::map<std::int32_t, RowSpan> rows;
    for (const auto& entry : sheet.rowHeights) {
        if (entry.first < kBiff8Rows) rows.emplace(entry.first, RowSpan{});
    }
    for (const auto& entry : sheet.rowFormats) {
        if (entry.first < kBiff8Rows) rows.emplace(entry.first, RowSpan{});
    }
    for (const auto& entry : sheet.cells) {
        const std::int32_t row = SheetModel::RowOf(entry.first);
        const std::int32_t col = SheetModel::ColumnOf(entry.first);
        auto [it, added] = rows.emplace(row, RowSpan{col, col + 1});
        if (!added) {
            if (it->second.end == 0) it->second = RowSpan{col, col + 1};
            it->second.first = std::min(it->second.first, col);
            it->second.end = std::max(it->second.end, col + 1);
        }
    }
    return rows;
}

std::size_t CountRowBlocks(const std::map<std::int32_t, RowSpan>& rows) {
    std::size_t blocks = 0;
    std::int32_t last = -1;
    for (const auto& entry : rows) {
        if (entry.first / 32 != last) {
            ++blocks;
            last = entry.first / 32;
        }
    }
    return blocks;
}

// INDEX, right after the sheet's BOF: the rows holding cells and where the
// DEFCOLWIDTH and DBCELL records are. Written with zero positions; returns
// where its body starts, for PatchIndex.
std::size_t WriteIndex(RecordStream& s, const SheetModel& sheet, std::size_t blocks) {
    const std::size_t body = s.Position() + 4;
    Body b;
    b.U32(0);
    if (sheet.cells.empty()) {
        b.U32(0).U32(0);
    } else {
        b.U32(static_cast<std::uint32_t>(SheetModel::RowOf(sheet.cells.begin()->first)))
            .U32(static_cast<std::uint32_t>(SheetModel::RowOf(sheet.cells.rbegin()->first) + 1));
    }
    b.U32(0);  // DEFCOLWIDTH position
    for (std::size_t i = 0; i < blocks; ++i) b.U32(0);
    s.Record(kRecIndex, b);
    return body;
}

void PatchIndex(RecordStream& s, std::size_t body, std::size_t defColWidth,
                const std::vector<std::size_t>& dbCells) {
    s.Patch32(body + 12, static_cast<std::uint32_t>(defColWidth));
    for (std::size_t i = 0; i < dbCells.size(); ++i) {
        s.Patch32(body + 16 + 4 * i, static_cast<std::uint32_t>(dbCells[i]));
    }
}

// DBCELL closing a row block: back to the block's first ROW record, then
// for each row where its first cell record starts, the first counted from
// the end of the first ROW record, each other from the previous row's.
void WriteDbCell(RecordStream& s, std::size_t firstRow, std::size_t firstRowEnd,
                 const std::vector<std::size_t>& rowCellStarts) {
    Body b;
    b.U32(static_cast<std::uint32_t>(s.Position() - firstRow));
    std::size_t base = firstRowEnd;
    for (std::size_t start : rowCellStarts) {
        b.U16(static_cast<std::uint16_t>(start - base));
        base = start;
    }
    s.Record(kRecDbCell, b);
}

// Rows in blocks of 32 as the spreadsheet program lays them out: the
// block's ROW records, its cells, then a DBCELL. Returns where each DBCELL
// went, for the INDEX.
std::vector<std::size_t> WriteCellTable(RecordStream& s, const SheetModel& sheet,
                                        const std::map<std::int32_t, RowSpan>& rows,
                                        const SharedStrings& sst) {
    std::vector<std::size_t> dbCells;
    auto rowIt = rows.begin();
    auto cellIt = sheet.cells.begin();
    while (rowIt != rows.end()) {
        const std::int32_t block = rowIt->first / 32;
        const std::size_t firstRow = s.Position();
        std::vector<std::int32_t> blockRows;
        for (; rowIt != rows.end() && rowIt->first / 32 == block; ++rowIt) {
            WriteRow(s, sheet, rowIt->first, rowIt->second.first, rowIt->second.end);
            blockRows.push_back(rowIt->first);
        }
        const std::size_t firstRowEnd = firstRow + 20;  // a ROW record is 4 + 16 bytes
        std::vector<std::size_t> rowCellStarts;
        for (std::int32_t row : blockRows) {
            rowCellStarts.push_back(s.Position());
            for (; cellIt != sheet.cells.end() && SheetModel::RowOf(cellIt->first) == row;
                 ++cellIt) {
                WriteCell(s, row, SheetModel::ColumnOf(cellIt->first), cellIt->second, sst);
            }
        }
        dbCells.push_back(s.Position());
        WriteDbCell(s, firstRow, firstRowEnd, rowCellStarts);
    }
    return dbCells;
}

void WriteWindow2(RecordStream& s, bool active) {
    Body b;
    // Grid lines, headers, zeros, automatic grid colour, outline symbols;
    // the first sheet is also selected and shown.
    b.U16(active ? 0x06B6 : 0x00B6).U16(0).U16(0).U16(kColorSystemText).U16(0).U16(0).U16(0).U32(0);
    s.Record(kRecWindow2, b);
}

void WriteMergedCells(RecordStream& s, const std::vector<CellRect>& merges) {
    for (std::size_t start = 0; start < merges.size(); start += kMergesPerRecord) {
        const std::size_t count = std::min(kMergesPerRecord, merges.size() - start);
        Body b;
        b.U16(static_cast<std::uint16_t>(count));
        for (std::size_t i = start; i < start + count; ++i) {
            b.U16(static_cast<std::uint16_t>(merges[i].top))
                .U16(static_cast<std::uint16_t>(merges[i].bottom))
                .U16(static_cast<std::uint16_t>(merges[i].left))
                .U16(static_cast<std::uint16_t>(merges[i].right));
        }
        s.Record(kRecMergedCells, b);
    }
}

void WriteWorksheet(RecordStream& s, const SheetModel& sheet, bool active,
                    const SharedStrings& sst) {
    const std::map<std::int32_t, RowSpan> rows = CollectRows(sheet);
    WriteBof(s, 0x0010);
    const std::size_t index = WriteIndex(s, sheet, CountRowBlocks(rows));
    WriteDefaultRowHeight(s, sheet);
    const std::size_t defColWidth = s.Position();
    WriteDefColWidth(s);
    WriteColInfos(s, sheet);
    WriteDimensions(s, sheet);
    PatchIndex(s, index, defColWidth, WriteCellTable(s, sheet, rows, sst));
    WriteWindow2(s, active);
    WriteMergedCells(s, sheet.merges);
    WriteEof(s);
}

// ------------------------------------------------------------ checks

std::string SheetProblem(const SheetModel& sheet) {
    const auto where = [&sheet](const std::string& what) {
        return "Sheet \"" + sheet.name + "\" has " + what +
               " beyond row 65536 or column IV, more than an Excel 97-2003 workbook holds; "
               "save it as .xlsx instead.";
    };
    for (const auto& entry : sheet.cells) {
        if (SheetModel::RowOf(entry.first) >= kBiff8Rows ||
            SheetModel::ColumnOf(entry.first) >= kBiff8Columns) {
            return where("cell " + RectAddress(CellRect{SheetModel::RowOf(entry.first),
                                                        SheetModel::ColumnOf(entry.first),
                                                        SheetModel::RowOf(entry.first),
                                                        SheetModel::ColumnOf(entry.first)}));
        }
    }
    for (const CellRect& m : sheet.merges) {
        if (m.bottom >= kBiff8Rows || m.right >= kBiff8Columns)
            return where("merged cells " + RectAddress(m));
    }
    return std::string();
}

}  // namespace

std::uint16_t ColumnWidthUnits(double characters) {
    constexpr double kDigitPixels = 7;
    constexpr double kPaddingPixels = 5;
    if (characters <= 0) return 0;
    const double pixels = std::floor(characters * kDigitPixels + 0.5) + kPaddingPixels;
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(pixels / kDigitPixels * 256)));
}

std::string BuildBiff8Workbook(const WorkbookModel& book, std::string* error) {
    if (book.sheets.empty()) {
        *error = "The workbook has no sheet.";
        return std::string();
    }
    if (kFirstCellXf + book.FormatCount() > kMaxXfs) {
        *error = "The workbook uses " + std::to_string(book.FormatCount()) +
                 " different cell formats, more than an Excel 97-2003 workbook holds.";
        return std::string();
    }
    for (const auto& sheet : book.sheets) {
        std::string problem = SheetProblem(*sheet);
        if (!problem.empty()) {
            *error = problem;
            return std::string();
        }
    }

    // Fonts: records 0-3 are the standard font; the format has no font 4,
    // so the record after them is font 5.
    const FontSpec standard{u"Arial", kStandardFontTwips, false, kColorAutomatic};
    std::vector<FontSpec> fonts(4, standard);
    std::map<FontSpec, std::uint16_t> fontIndex{{standard, 0}};
    std::vector<XfSpec> cellXfs;
    for (std::size_t i = 0; i < book.FormatCount(); ++i) {
        const CellFormat& f = book.Format(static_cast<std::uint32_t>(i));
        FontSpec font{f.fontName.empty() ? standard.name : Utf8ToUtf16(f.fontName),
                      f.fontSize > 0 ? static_cast<std::uint16_t>(std::lround(f.fontSize * 20))
                                     : kStandardFontTwips,
                      f.bold,
                      f.fontColorIndex > 0
                          ? static_cast<std::uint16_t>(f.fontColorIndex + kPaletteFileBase - 1)
                          : kColorAutomatic};
        auto found = fontIndex.find(font);
        if (found == fontIndex.end()) {
            fonts.push_back(font);
            found =
                fontIndex.emplace(font, static_cast<std::uint16_t>(fonts.size())).first;  // skips 4
        }
        XfSpec xf;
        xf.font = found->second;
        xf.hAlign = static_cast<std::uint8_t>(f.hAlign);
        xf.vAlign = static_cast<std::uint8_t>(f.vAlign);
        xf.attributes =
            i == 0 ? 0 : 0xF800;  // font, alignment, border, fill, protection given here
        if (f.fillRgb >= 0) {
            xf.fill =
                NearestColorIndex(static_cast<std::uint32_t>(f.fillRgb)) + kPaletteFileBase - 1;
        }
        cellXfs.push_back(xf);
    }

    SharedStrings sst;
    for (const auto& sheet : book.sheets) {
        for (const auto& entry : sheet->cells) {
            if (entry.second.kind == CellKind::Text) sst.Add(entry.second.text);
        }
    }

    RecordStream s;
    WriteBof(s, 0x0005);
    WriteCodepage(s);
    WriteWindow1(s);
    WriteDateMode(s);
    WritePrecision(s);
    for (const FontSpec& font : fonts) WriteFont(s, font);
    // Style XFs: Normal, then the fourteen the format reserves for the
    // outline styles (fonts 1 and 2 for the first four, as the spreadsheet
    // program writes them).
    for (int i = 0; i < 15; ++i) {
        XfSpec style;
        style.style = true;
        style.font = i == 0 ? 0 : (i <= 2 ? 1 : (i <= 4 ? 2 : 0));
        style.attributes = i == 0 ? 0 : 0xF400;
        WriteXf(s, style);
    }
    for (const XfSpec& xf : cellXfs) WriteXf(s, xf);
    WriteStyle(s);
    std::vector<std::size_t> sheetOffsets;
    for (const auto& sheet : book.sheets) sheetOffsets.push_back(WriteBoundSheet(s, sheet->name));
    WriteSst(s, sst);
    WriteEof(s);

    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        s.Patch32(sheetOffsets[i], static_cast<std::uint32_t>(s.Position()));
        WriteWorksheet(s, *book.sheets[i], i == 0, sst);
    }
    return std::move(s.bytes());
}

std::string BuildBiff8File(const WorkbookModel& book, std::string* error) {
    std::string stream = BuildBiff8Workbook(book, error);
    if (stream.empty()) return std::string();
    return BuildCompoundFile({CompoundStream{"Workbook", std::move(stream)}});
}

Status WriteBiff8File(const WorkbookModel& book, const std::string& path) {
    std::string error;
    const std::string bytes = BuildBiff8File(book, &error);
    if (bytes.empty())
        return Status::Error(hr::kException, "Cannot save \"" + path + "\": " + error);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return Status::Error(hr::kException,
                             "Cannot save \"" + path + "\": " + std::strerror(errno));
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        const int cause = written != bytes.size() ? writeErrno : errno;
        std::remove(path.c_str());  // a half file must not pass for a workbook
        return Status::Error(hr::kException,
                             "Cannot save \"" + path + "\": " + std::strerror(cause));
    }
    return Status::Ok();
}

}  // namespace automation
