// Our Excel 97-2003 writer: the compound file container, record bytes,
// long shared strings split over CONTINUE records, and the format's limits,
// read back with xlrd.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "biff8_writer.h"
#include "compound_file.h"
#include "workbook_file.h"
#include "workbook_model.h"
#include "workbook_reader.h"
#include "xlsx_writer.h"

namespace automation {
namespace {

using testing::ReadWorkbook;
using testing::TempFolder;

std::uint32_t U32At(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    for (const auto& l : lines) {
        if (l == line) return true;
    }
    return false;
}

std::string Dump(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

TEST(ColumnWidth, StoredWithTheCellPaddingAsTheSpreadsheetProgramDoes) {
    EXPECT_EQ(ColumnWidthUnits(20), 5302);
    EXPECT_EQ(ColumnWidthUnits(8.43), 2340);  // the program's own standard width, 0x0924
    EXPECT_EQ(ColumnWidthUnits(0), 0);
    EXPECT_EQ(ColumnWidthUnits(255), 65462);  // 1790 pixels
}

TEST(CompoundFile, SmallStreamIsPaddedIntoRegularSectors) {
    const std::string file = BuildCompoundFile({CompoundStream{"Workbook", "abc"}});
    // Header, 8 stream sectors (4096 bytes), one directory and one FAT sector.
    ASSERT_EQ(file.size(), 512u * 11);
    EXPECT_EQ(file.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    EXPECT_EQ(U32At(file, 44), 1u);           // FAT sectors
    EXPECT_EQ(U32At(file, 48), 8u);           // first directory sector
    EXPECT_EQ(U32At(file, 60), 0xFFFFFFFEu);  // no mini FAT
    EXPECT_EQ(U32At(file, 76), 9u);           // the FAT sector
    const std::size_t fat = 512 * 10;
    for (std::uint32_t i = 0; i < 7; ++i) EXPECT_EQ(U32At(file, fat + 4 * i), i + 1);
    EXPECT_EQ(U32At(file, fat + 4 * 7), 0xFFFFFFFEu);  // end of the stream's chain
    EXPECT_EQ(U32At(file, fat + 4 * 8), 0xFFFFFFFEu);  // directory
    EXPECT_EQ(U32At(file, fat + 4 * 9), 0xFFFFFFFDu);  // the FAT itself
    EXPECT_EQ(U32At(file, fat + 4 * 10), 0xFFFFFFFFu);
    const std::size_t dir = 512 * 9;
    EXPECT_EQ(std::memcmp(file.data() + dir, "R\0o\0o\0t\0 \0E\0n\0t\0r\0y\0\0\0", 22), 0);
    EXPECT_EQ(std::memcmp(file.data() + dir + 128, "W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18), 0);
    EXPECT_EQ(U32At(file, dir + 128 + 120), 4096u);
    EXPECT_EQ(file.substr(512, 3), "abc");
}

// A stream so large that the FAT outgrows the header's 109 entries and
// needs DIFAT sectors; xlrd's own compound file reader must get it back.
TEST(CompoundFile, LargeStreamNeedsDifatSectorsAndReadsBack) {
    std::string data(9 * 1024 * 1024 + 77, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 131 + i / 512) & 0xFF);
    const std::string file =
        BuildCompoundFile({CompoundStream{"Workbook", data}, CompoundStream{"Other", "x"}});
    EXPECT_GT(U32At(file, 72), 0u);  // DIFAT sectors in use
    TempFolder dir;
    const std::string path = dir.File("big.cfb");
    WriteFile(path, file);
    WriteFile(dir.File("expected.bin"), data);
    int status = 0;
    const std::string out = testing::RunPython(
        "import sys, xlrd.compdoc as c\n"
        "d = c.CompDoc(open(sys.argv[1], 'rb').read(), logfile=sys.stderr)\n"
        "w = d.get_named_stream('Workbook')\n"
        "e = open(sys.argv[1].replace('big.cfb', 'expected.bin'), 'rb').read()\n"
        "o = d.get_named_stream('Other')\n"
        "print(len(w), w == e, len(o), o[:1])\n",
        path, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, std::to_string(data.size()) + " True 4096 b'x'\n");
}

TEST(Biff8, StreamBeginsWithTheGlobalsBof) {
    WorkbookModel book;
    book.sheets.push_back(std::make_shared<SheetModel>("Sheet1"));
    std::string error;
    const std::string stream = BuildBiff8Workbook(book, &error);
    ASSERT_TRUE(error.empty()) << error;
    // BOF: BIFF8, workbook globals, build 0x0DBB, year 1996, lowest version BIFF8.
    const std::string bof(
        "\x09\x08\x10\x00\x00\x06\x05\x00\xBB\x0D\xCC\x07\x00\x00\x00\x00\x06\x00\x00\x00", 20);
    EXPECT_EQ(stream.substr(0, 20), bof);
    // CODEPAGE 1200: strings are UTF-16.
    EXPECT_EQ(stream.substr(20, 6), std::string("\x42\x00\x02\x00\xB0\x04", 6));
    // The stream ends with the sheet's EOF.
    EXPECT_EQ(stream.substr(stream.size() - 4), std::string("\x0A\x00\x00\x00", 4));
}

std::uint16_t U16At(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

// The lookup aids: INDEX right after the sheet's BOF points at DEFCOLWIDTH
// and at each block's DBCELL; each DBCELL points back at its block's first
// ROW record and on to the first cell record of every row.
TEST(Biff8, IndexAndDbCellPointAtTheirRecords) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("Sheet1");
    book.sheets.push_back(sheet);
    Cell cell;
    cell.kind = CellKind::Number;
    for (std::int32_t row = 2; row < 75; ++row) {
        if (row == 40) continue;  // a row of height only
        for (std::int32_t col = 0; col < 1 + row % 3; ++col) SetCellValue(*sheet, row, col, cell);
    }
    sheet->rowHeights[40] = 30;
    sheet->rowHeights[100] = 30;  // a block of its own without cells
    std::string error;
    const std::string s = BuildBiff8Workbook(book, &error);
    ASSERT_TRUE(error.empty()) << error;

    std::size_t pos = 0, sheetBof = 0;
    int bofs = 0;
    while (pos < s.size() && bofs < 2) {
        if (U16At(s, pos) == 0x0809 && ++bofs == 2) sheetBof = pos;
        pos += 4 + U16At(s, pos + 2);
    }
    ASSERT_EQ(bofs, 2);
    const std::size_t index = sheetBof + 20;
    ASSERT_EQ(U16At(s, index), 0x020B);
    const std::size_t body = index + 4;
    EXPECT_EQ(U32At(s, body + 4), 2u);                 // first row with cells
    EXPECT_EQ(U32At(s, body + 8), 75u);                // last + 1
    EXPECT_EQ(U16At(s, U32At(s, body + 12)), 0x0055);  // DEFCOLWIDTH
    const std::size_t blocks = (U16At(s, index + 2) - 16) / 4;
    ASSERT_EQ(blocks, 4u);  // rows 2-31, 32-63, 64-74, 100
    std::size_t rowsSeen = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t dbcell = U32At(s, body + 16 + 4 * b);
        ASSERT_EQ(U16At(s, dbcell), 0x00D7) << b;
        const std::size_t firstRow = dbcell - U32At(s, dbcell + 4);
        ASSERT_EQ(U16At(s, firstRow), 0x0208) << b;
        const std::size_t rowCount = (U16At(s, dbcell + 2) - 4) / 2;
        std::size_t cellStart = firstRow + 20;
        for (std::size_t r = 0; r < rowCount; ++r) {
            const std::size_t rowRecord = firstRow + 20 * r;
            ASSERT_EQ(U16At(s, rowRecord), 0x0208);
            const std::uint16_t row = U16At(s, rowRecord + 4);
            cellStart += U16At(s, dbcell + 8 + 2 * r);
            if (row == 40 || row == 100) continue;  // no cells: the offset points at the next row's
            EXPECT_EQ(U16At(s, cellStart), 0x0203) << "row " << row;
            EXPECT_EQ(U16At(s, cellStart + 4), row);
            EXPECT_EQ(U16At(s, cellStart + 6), 0);  // its first cell
            ++rowsSeen;
        }
    }
    EXPECT_EQ(rowsSeen, 72u);
}

TEST(Biff8, LongAndChineseTextsSurviveContinueRecords) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("记录 Records");
    book.sheets.push_back(sheet);
    std::string chinese;
    for (int i = 0; i < 9000; ++i) chinese += "数";  // 18000 bytes as UTF-16: spans three records
    const std::string latin(20000, 'q');
    const std::string accented = std::string(5000, 'a') + "é";  // still one byte a character
    std::vector<std::string> texts = {latin, chinese, accented};
    for (int i = 0; i < 3000; ++i) texts.push_back("row " + std::to_string(i) + " 张");
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Cell cell;
        cell.kind = CellKind::Text;
        cell.text = texts[i];
        SetCellValue(*sheet, static_cast<std::int32_t>(i), 0, cell);
    }
    Cell number;
    number.kind = CellKind::Number;
    number.number = -12.25;
    SetCellValue(*sheet, 0, 1, number);
    Cell boolean;
    boolean.kind = CellKind::Boolean;
    boolean.number = 1;
    SetCellValue(*sheet, 1, 1, boolean);

    TempFolder dir;
    const std::string path = dir.File("long.xls");
    ASSERT_TRUE(WriteBiff8File(book, path).ok());
    int status = 0;
    const std::string out = testing::RunPython(
        "import sys, xlrd, hashlib\n"
        "b = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n"
        "s = b.sheet_by_index(0)\n"
        "print(s.name)\n"
        "print(s.nrows, s.ncols)\n"
        "print(hashlib.sha1('\\n'.join(s.col_values(0)).encode()).hexdigest())\n"
        "print(s.cell(0, 1).ctype, s.cell(0, 1).value, s.cell(1, 1).ctype, s.cell(1, 1).value)\n",
        path, &status);
    ASSERT_EQ(status, 0) << out;
    std::string joined;
    for (std::size_t i = 0; i < texts.size(); ++i) joined += (i ? "\n" : "") + texts[i];
    int shaStatus = 0;
    const std::string sha = testing::RunPython(
        "import sys, hashlib\nprint(hashlib.sha1(open(sys.argv[1], 'rb').read()).hexdigest())\n",
        [&] {
            const std::string p = dir.File("joined.txt");
            WriteFile(p, joined);
            return p;
        }(),
        &shaStatus);
    EXPECT_EQ(out,
              "记录 Records\n" + std::to_string(texts.size()) + " 2\n" + sha + "2 -12.25 4 1\n");
}

TEST(Biff8, RefusesWhatTheFormatCannotHold) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("Sheet1");
    book.sheets.push_back(sheet);
    Cell cell;
    cell.kind = CellKind::Text;
    cell.text = "past the end";
    SetCellValue(*sheet, kBiff8Rows, 0, cell);  // row 65537
    TempFolder dir;
    Status s = WriteBiff8File(book, dir.File("too-long.xls"));
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.text.find("cell $A$65537 beyond row 65536 or column IV"), std::string::npos)
        << s.text;
    EXPECT_TRUE(testing::ReadFileBytes(dir.File("too-long.xls")).empty());
    // The newer format holds it.
    EXPECT_TRUE(SaveWorkbookFile(book, dir.File("fine.xlsx"), WorkbookFileFormat::Xlsx).ok());
    const auto lines = ReadWorkbook(dir.File("fine.xlsx"));
    EXPECT_TRUE(
        Has(lines,
            "cell 0 A65537 text \"past the end\" font=\"Calibri\" size=11 bold=0 color=auto "
            "fill=none h=general v=bottom"))
        << Dump(lines);

    sheet->cells.clear();
    sheet->merges.push_back(CellRect{0, 250, 0, 256});
    s = WriteBiff8File(book, dir.File("wide.xls"));
    EXPECT_NE(s.text.find("merged cells $IQ$1:$IW$1"), std::string::npos) << s.text;
}

TEST(Biff8, ManyMergedAreasSpanSeveralRecords) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("Sheet1");
    book.sheets.push_back(sheet);
    for (int r = 0; r < 1500; ++r) MergeCells(*sheet, CellRect{r, 0, r, 1}, false);
    TempFolder dir;
    ASSERT_TRUE(WriteBiff8File(book, dir.File("merges.xls")).ok());
    int status = 0;
    const std::string out = testing::RunPython(
        "import sys, xlrd\n"
        "s = xlrd.open_workbook(sys.argv[1], formatting_info=True).sheet_by_index(0)\n"
        "print(len(s.merged_cells), sorted(s.merged_cells)[-1])\n",
        dir.File("merges.xls"), &status);
    EXPECT_EQ(out, "1500 (1499, 1500, 0, 2)\n");
}

// A changed standard width beside one wider column, and black (ColorIndex
// 1, colour value 0), which libxlsxwriter would take for "no colour".
TEST(WorkbookFile, StandardWidthAndBlackInBothFormats) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("Sheet1");
    book.sheets.push_back(sheet);
    sheet->standardWidth = 12;
    sheet->columnWidths[1] = 20;
    CellFormat black;
    black.fontColorIndex = 1;
    black.fillRgb = 0x000000;
    Cell cell;
    cell.kind = CellKind::Text;
    cell.text = "dark";
    cell.format = book.Intern(black);
    sheet->cells.emplace(SheetModel::Key(0, 2), cell);
    TempFolder dir;
    for (const char* name : {"w.xls", "w.xlsx"}) {
        const std::string path = dir.File(name);
        ASSERT_TRUE(SaveWorkbookFile(book, path, FileFormatForName(path)).ok()) << name;
        const auto lines = ReadWorkbook(path);
        const bool xls = FileFormatForName(path) == WorkbookFileFormat::Biff8;
        EXPECT_TRUE(Has(lines, xls ? "colwidth 0 A 3254" : "colwidth 0 A 12.7109")) << Dump(lines);
        EXPECT_TRUE(Has(lines, xls ? "colwidth 0 B 5302" : "colwidth 0 B 20.7109")) << Dump(lines);
        EXPECT_TRUE(Has(lines, xls ? "colwidth 0 C 3254" : "colwidth 0 C 12.7109")) << Dump(lines);
        bool seen = false;
        for (const auto& l : lines) {
            seen = seen || (l.rfind("cell 0 C1 text \"dark\" ", 0) == 0 &&
                            l.find("color=000000 fill=000000") != std::string::npos);
        }
        EXPECT_TRUE(seen) << Dump(lines);
    }
}

// Row and column formats reach both files: COLINFO and ROW records carry
// them in the old format, column and row elements in the new one.
TEST(WorkbookFile, RowAndColumnFormatsInBothFormats) {
    WorkbookModel book;
    auto sheet = std::make_shared<SheetModel>("Sheet1");
    book.sheets.push_back(sheet);
    CellFormat boldFormat;
    boldFormat.bold = true;
    CellFormat filled;
    filled.fillRgb = 0xFFFF99;
    sheet->columnFormats[1] = book.Intern(boldFormat);
    sheet->rowFormats[2] = book.Intern(filled);
    sheet->columnWidths[3] = 30;
    sheet->columnFormats[300] = book.Intern(boldFormat);  // past IV: the old format leaves it out
    TempFolder dir;
    int status = 0;
    const std::string xls = dir.File("rowcol.xls");
    ASSERT_TRUE(WriteBiff8File(book, xls).ok());
    std::string out = testing::RunPython(
        "import sys, xlrd\n"
        "b = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n"
        "s = b.sheet_by_index(0)\n"
        "c = s.colinfo_map\n"
        "print(sorted(c), b.font_list[b.xf_list[c[1].xf_index].font_index].bold, c[3].width)\n"
        "r = s.rowinfo_map[2]\n"
        "x = b.xf_list[r.xf_index]\n"
        "print(r.has_default_xf_index, x.background.fill_pattern, "
        "b.colour_map[x.background.pattern_colour_index])\n",
        xls, &status);
    EXPECT_EQ(out, "[1, 3] 1 7862\n1 1 (255, 255, 153)\n");
    const std::string xlsx = dir.File("rowcol.xlsx");
    ASSERT_TRUE(WriteXlsxFile(book, xlsx).ok());
    out = testing::RunPython(
        "import sys, openpyxl\n"
        "s = openpyxl.load_workbook(sys.argv[1]).active\n"
        "d = s.column_dimensions\n"
        "print(d['B'].font.b, d['D'].width, d['KO'].font.b)\n"
        "print(s.row_dimensions[3].fill.fgColor.rgb)\n",
        xlsx, &status);
    EXPECT_EQ(out, "True 30.7109375 True\nFFFFFF99\n");
}

TEST(WorkbookFile, FormatFollowsTheName) {
    EXPECT_EQ(FileFormatForName("/out/report.xlsx"), WorkbookFileFormat::Xlsx);
    EXPECT_EQ(FileFormatForName("/out/report.XLSX"), WorkbookFileFormat::Xlsx);
    EXPECT_EQ(FileFormatForName("/out/report.xls"), WorkbookFileFormat::Biff8);
    EXPECT_EQ(FileFormatForName("/out/report.XLS.xls"), WorkbookFileFormat::Biff8);
    EXPECT_EQ(FileFormatForName("/out/data.xlsx/book"), WorkbookFileFormat::Biff8);
    EXPECT_EQ(FileFormatForName("xlsx"), WorkbookFileFormat::Biff8);
}

}  // namespace
}  // namespace automation
