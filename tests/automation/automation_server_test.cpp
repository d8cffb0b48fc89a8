// The in-process spreadsheet server: the object model by dispatch
// identifier, what it refuses and with which text, and the recording
// stand-in that tests of the export register in its place.
#include <gtest/gtest.h>

#include <fstream>

#include "com_runtime.h"
#include "excel_server.h"
#include "export_script.h"
#include "recording_server.h"
#include "variant.h"
#include "workbook_reader.h"

namespace automation {
namespace {

using namespace excel;

const InvokeKind kGetKind = InvokeKind::PropertyGet;
const InvokeKind kPutKind = InvokeKind::PropertyPut;
const InvokeKind kMethodKind = InvokeKind::Method;

class Server : public ::testing::Test {
  protected:
    void SetUp() override {
        InitializeThread();
        ASSERT_TRUE(CreateObject(kExcelProgId, &app_).ok());
        books_ = Object(app_, kWorkbooks);
        book_ = Object(books_, kAdd, {Variant::Missing()}, kMethodKind);
        sheets_ = Object(book_, kWorksheets);
        sheet_ = Object(sheets_, kItem, {Variant::I2(1)});
    }
    void TearDown() override { UninitializeThread(); }

    static Variant Value(const DispatchPtr& o, DispId id, std::vector<Variant> args = {},
                         InvokeKind kind = InvokeKind::PropertyGet) {
        Variant v;
        Status s = o->Invoke(id, kind, args, &v);
        EXPECT_TRUE(s.ok()) << s.text;
        return v;
    }
    static DispatchPtr Object(const DispatchPtr& o, DispId id, std::vector<Variant> args = {},
                              InvokeKind kind = InvokeKind::PropertyGet) {
        Variant v = Value(o, id, std::move(args), kind);
        EXPECT_EQ(v.type(), VarType::Dispatch);
        return v.object();
    }
    static void Put(const DispatchPtr& o, DispId id, std::vector<Variant> args) {
        Status s = o->Invoke(id, kPutKind, args, nullptr);
        EXPECT_TRUE(s.ok()) << s.text;
    }
    DispatchPtr RangeOf(const std::string& a, const std::string& b = std::string()) {
        return Object(sheet_, kRange,
                      {Variant::Bstr(a), b.empty() ? Variant::Missing() : Variant::Bstr(b)});
    }
    std::string Address(const DispatchPtr& range) { return Value(range, kAddress).bstr(); }

    DispatchPtr app_, books_, book_, sheets_, sheet_;
};

TEST_F(Server, NewWorkbookHasThreeWorksheets) {
    EXPECT_EQ(Value(sheets_, kCount).i4(), 3);
    for (std::int16_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(Value(Object(sheets_, kItem, {Variant::I2(i)}), kName).bstr(),
                  "Sheet" + std::to_string(i));
    }
    // By name too, in any case.
    EXPECT_EQ(Value(Object(sheets_, kItem, {Variant::Bstr("sheet2")}), kName).bstr(), "Sheet2");
    EXPECT_EQ(Value(book_, kName).bstr(), "Book1");
    DispatchPtr single = Object(books_, kAdd, {Variant::I4(kTemplateWorksheet)}, kMethodKind);
    EXPECT_EQ(Value(single, kName).bstr(), "Book2");
    EXPECT_EQ(Value(Object(single, kWorksheets), kCount).i4(), 1);
    EXPECT_FALSE(Value(app_, kVisible).boolean());
}

struct Rejection {
    const char* what;
    int object;  // 0 app, 1 workbooks, 2 workbook, 3 worksheets, 4 worksheet, 5 range A1:B2, 6
                 // font, 7 interior
    DispId id;
    InvokeKind kind;
    std::vector<Variant> args;
    HResult code;
    const char* text;
};

TEST_F(Server, RefusesWhatTheSpreadsheetProgramRefuses) {
    DispatchPtr range = RangeOf("A1", "B2");
    DispatchPtr objects[] = {app_,
                             books_,
                             book_,
                             sheets_,
                             sheet_,
                             range,
                             Object(range, kFont),
                             Object(range, kInterior)};
    const Variant missing = Variant::Missing();
    const Rejection cases[] = {
        {"unknown identifier",
         0,
         0x999,
         kGetKind,
         {},
         hr::kMemberNotFound,
         "Application has no member with dispatch identifier 0x999."},
        {"method called as get",
         0,
         kQuit,
         kGetKind,
         {},
         hr::kMemberNotFound,
         "Application.Quit (0x12E) cannot be called as get."},
        {"read-only property put",
         4,
         kUsedRange,
         kPutKind,
         {Variant::I4(1)},
         hr::kMemberNotFound,
         "Worksheet.UsedRange (0x19C) cannot be called as put."},
        {"Item put on Worksheets",
         3,
         kItem,
         kPutKind,
         {Variant::I2(1), Variant::I4(1)},
         hr::kMemberNotFound,
         "cannot be called as put"},
        {"Count is Worksheets', not Workbook's",
         2,
         kCount,
         kGetKind,
         {},
         hr::kMemberNotFound,
         "Workbook has no member with dispatch identifier 0x76."},
        {"Visible from a word",
         0,
         kVisible,
         kPutKind,
         {Variant::Bstr("maybe")},
         hr::kTypeMismatch,
         "Application.Visible: argument 1 (BSTR \"maybe\") is not true or false."},
        {"too many arguments",
         3,
         kCount,
         kGetKind,
         {Variant::I4(1)},
         hr::kBadParamCount,
         "Worksheets.Count: takes 0 argument(s), got 1."},
        {"template file",
         1,
         kAdd,
         kMethodKind,
         {Variant::Bstr("/tmp/t.xlt")},
         hr::kException,
         "Workbooks.Add: templates other than a blank worksheet"},
        {"sheet 4 of 3",
         3,
         kItem,
         kGetKind,
         {Variant::I2(4)},
         hr::kBadIndex,
         "Worksheets.Item: there is no worksheet 4; the workbook has 3."},
        {"sheet 0", 3, kItem, kGetKind, {Variant::I2(0)}, hr::kBadIndex, "there is no worksheet 0"},
        {"sheet by unknown name",
         3,
         kItem,
         kGetKind,
         {Variant::Bstr("Sheet9")},
         hr::kBadIndex,
         "there is no worksheet named \"Sheet9\"."},
        {"index missing",
         3,
         kItem,
         kGetKind,
         {missing},
         hr::kParamNotFound,
         "argument 1 is required."},
        {"bad reference",
         4,
         kRange,
         kGetKind,
         {Variant::Bstr("A0")},
         hr::kException,
         "Worksheet.Range: \"A0\" is not a cell reference."},
        {"beyond the last column",
         4,
         kRange,
         kGetKind,
         {Variant::Bstr("XFE1")},
         hr::kException,
         "is not a cell reference"},
        {"cell above the sheet",
         5,
         kItem,
         kGetKind,
         {Variant::I4(0), Variant::I4(1)},
         hr::kBadIndex,
         "Range.Item: cell (0, 1) of $A$1:$B$2 lies outside the sheet."},
        {"Item put without value",
         5,
         kItem,
         kPutKind,
         {Variant::I4(1)},
         hr::kBadParamCount,
         "takes 2 to 3 argument(s), got 1."},
        {"object into a cell",
         5,
         kValue,
         kPutKind,
         {Variant::Object(range)},
         hr::kTypeMismatch,
         "DISPATCH Range cannot be put into a cell."},
        {"text over 32767",
         5,
         kValue,
         kPutKind,
         {Variant::Bstr(std::string(32768, 'x'))},
         hr::kException,
         "a cell holds at most 32767 characters"},
        {"row height",
         5,
         kRowHeight,
         kPutKind,
         {Variant::I4(410)},
         hr::kException,
         "0 to 409.5 points"},
        {"column width",
         5,
         kColumnWidth,
         kPutKind,
         {Variant::I4(256)},
         hr::kException,
         "0 to 255 characters"},
        {"alignment",
         5,
         kHorizontalAlignment,
         kPutKind,
         {Variant::I4(99)},
         hr::kException,
         "99 is not a horizontal alignment."},
        {"vertical left",
         5,
         kVerticalAlignment,
         kPutKind,
         {Variant::I4(kAlignLeft)},
         hr::kException,
         "-4131 is not a vertical alignment."},
        {"font colour index",
         6,
         kColorIndex,
         kPutKind,
         {Variant::I4(57)},
         hr::kException,
         "Font.ColorIndex: a colour index is 1 to 56 or automatic (-4105), not 57."},
        {"font size", 6, kSize, kPutKind, {Variant::I4(0)}, hr::kException, "1 to 409 points"},
        {"font name",
         6,
         kName,
         kPutKind,
         {Variant::Bstr("")},
         hr::kException,
         "1 to 31 characters"},
        {"negative colour",
         7,
         kColor,
         kPutKind,
         {Variant::R8(-1)},
         hr::kException,
         "Interior.Color: a colour value is a whole number from 0 to 16777215."},
        {"SaveAs format",
         2,
         kSaveAs,
         kMethodKind,
         {Variant::Bstr("/tmp/x.xls"), Variant::I4(6)},
         hr::kException,
         "Workbook.SaveAs: file format 6 is not supported."},
        {"SaveAs password",
         2,
         kSaveAs,
         kMethodKind,
         {Variant::Bstr("/tmp/x.xls"), missing, Variant::Bstr("pw")},
         hr::kException,
         "saving with a password is not supported."},
        {"SaveAs no name",
         2,
         kSaveAs,
         kMethodKind,
         {missing},
         hr::kParamNotFound,
         "argument 1 is required."},
    };
    for (const Rejection& c : cases) {
        Variant result = Variant::I4(5);
        Status s = objects[c.object]->Invoke(c.id, c.kind, c.args, &result);
        EXPECT_EQ(s.code, c.code) << c.what << ": " << s.text;
        EXPECT_NE(s.text.find(c.text), std::string::npos) << c.what << ": " << s.text;
        EXPECT_TRUE(result.IsEmpty()) << c.what;
    }
}

TEST_F(Server, SheetNamesAreCheckedAsTheSpreadsheetProgramChecksThem) {
    const std::string name31(31, 'n');
    const struct {
        std::string name;
        const char* problem;  // nullptr: accepted
    } cases[] = {
        {"20140810 090503_OPERATOR_A7", nullptr},
        {"20140810 090503_OPERATOR_ABCDE", nullptr},  // 30
        {name31, nullptr},
        {"二〇一四年八月十日的记录表格二〇一四年八月十日的记录表格一",
         nullptr},  // 31 characters, 93 bytes
        {"20140810 090503_OPERATOR_ABCDEFG",
         "has 32 characters; a sheet name may have at most 31."},
        {name31 + "x", "has 32 characters"},
        {"", "A sheet name cannot be empty."},
        {"a:b", "contains ':'"},
        {"a\\b", "contains '\\'"},
        {"a/b", "contains '/'"},
        {"a?b", "contains '?'"},
        {"a*b", "contains '*'"},
        {"a[b", "contains '['"},
        {"a]b", "contains ']'"},
        {"'quoted", "begins or ends with an apostrophe"},
        {"quoted'", "begins or ends with an apostrophe"},
        {"history", "\"History\" is reserved"},
        {"sheet2", "already has a sheet named \"Sheet2\"."},
    };
    for (const auto& c : cases) {
        Status s = sheet_->Invoke(kName, kPutKind, {Variant::Bstr(c.name)}, nullptr);
        if (!c.problem) {
            EXPECT_TRUE(s.ok()) << c.name << ": " << s.text;
            EXPECT_EQ(Value(sheet_, kName).bstr(), c.name);
        } else {
            EXPECT_EQ(s.code, hr::kException) << c.name;
            EXPECT_EQ(s.text.rfind("Worksheet.Name: ", 0), 0u) << s.text;
            EXPECT_NE(s.text.find(c.problem), std::string::npos) << c.name << ": " << s.text;
        }
    }
    // Renaming a sheet to its own name is no clash.
    Put(sheet_, kName, {Variant::Bstr("Sheet1")});
    Put(sheet_, kName, {Variant::Bstr("SHEET1")});
    EXPECT_EQ(sheet_->Invoke(kName, kPutKind, {Variant::I4(5)}, nullptr).code, hr::kTypeMismatch);
}

TEST_F(Server, DeletingSheetsDownToTheLastOne) {
    DispatchPtr third = Object(sheets_, kItem, {Variant::I2(3)});
    EXPECT_TRUE(third->Invoke(kDelete, kMethodKind, {}, nullptr).ok());
    // The deleted sheet's object is dead, and its index is gone.
    Status dead = third->Invoke(kName, kGetKind, {}, nullptr);
    EXPECT_EQ(dead.code, hr::kDisconnected);
    EXPECT_EQ(dead.text, "Worksheet.Name: the worksheet has been deleted.");
    EXPECT_EQ(third->Invoke(kDelete, kMethodKind, {}, nullptr).code, hr::kDisconnected);
    Variant none;
    EXPECT_EQ(sheets_->Invoke(kItem, kGetKind, {Variant::I2(3)}, &none).code, hr::kBadIndex);

    EXPECT_TRUE(
        Object(sheets_, kItem, {Variant::I2(2)})->Invoke(kDelete, kMethodKind, {}, nullptr).ok());
    EXPECT_EQ(Value(sheets_, kCount).i4(), 1);
    Status last = sheet_->Invoke(kDelete, kMethodKind, {}, nullptr);
    EXPECT_EQ(last.code, hr::kException);
    EXPECT_EQ(last.text,
              "Worksheet.Delete: a workbook must keep at least one worksheet; \"Sheet1\" is the "
              "last one.");
    EXPECT_EQ(Value(sheets_, kCount).i4(), 1);
}

TEST_F(Server, RangesAddressCellsRelativeToTheirTopLeft) {
    DispatchPtr block = RangeOf("B2:D4");
    EXPECT_EQ(Address(block), "$B$2:$D$4");
    EXPECT_EQ(Address(RangeOf("d4", "$B$2")), "$B$2:$D$4");
    // Item(row, column) may reach beyond the range.
    Variant item = Value(block, kItem, {Variant::I4(2), Variant::I4(3)});
    ASSERT_EQ(item.type(), VarType::Dispatch);
    EXPECT_EQ(Address(item.object()), "$D$3");
    EXPECT_EQ(Address(Object(block, kItem, {Variant::I4(5), Variant::I4(1)})), "$B$6");
    // One index counts cells row by row through the range.
    EXPECT_EQ(Address(Object(block, kItem, {Variant::I4(4)})), "$B$3");
    // Columns.Item(c, missing) is a whole column; Cells is the sheet.
    DispatchPtr columns = Object(sheet_, kColumns);
    EXPECT_EQ(Address(Object(columns, kItem, {Variant::I4(3), Variant::Missing()})), "$C:$C");
    DispatchPtr cells = Object(sheet_, kCells);
    EXPECT_EQ(Address(cells), "$1:$1048576");
    EXPECT_EQ(Address(Object(Object(sheet_, kRows), kItem, {Variant::I4(2)})), "$2:$2");

    Put(block, kItem, {Variant::I4(1), Variant::I4(1), Variant::Bstr("at B2")});
    Put(cells, kItem, {Variant::I4(7), Variant::I4(6), Variant::R8(2.5)});
    EXPECT_EQ(Value(RangeOf("B2"), kValue).bstr(), "at B2");
    EXPECT_EQ(Value(RangeOf("F7"), kValue).r8(), 2.5);
    EXPECT_TRUE(Value(RangeOf("A1"), kValue).IsEmpty());
    EXPECT_EQ(Address(Object(sheet_, kUsedRange)), "$B$2:$F$7");
    // Formats count for the used range; clearing a value of an unformatted
    // cell takes it out again.
    Put(Object(RangeOf("H9"), kFont), kBold, {Variant::I4(1)});
    EXPECT_EQ(Address(Object(sheet_, kUsedRange)), "$B$2:$H$9");
    Put(RangeOf("F7"), kValue, {Variant()});
    Put(Object(RangeOf("H9"), kFont), kBold, {Variant::Bool(false)});
    EXPECT_EQ(Address(Object(sheet_, kUsedRange)), "$B$2");
}

TEST_F(Server, UsedRangeOfAnEmptySheetIsA1) {
    EXPECT_EQ(Address(Object(sheet_, kUsedRange)), "$A$1");
}

TEST_F(Server, MergingKeepsTheTopLeftValueAndAbsorbsTouchedMerges) {
    Put(RangeOf("A1"), kValue, {Variant::Bstr("keep")});
    Put(RangeOf("C1"), kValue, {Variant::Bstr("drop")});
    EXPECT_TRUE(RangeOf("A1", "C1")->Invoke(kMerge, kMethodKind, {Variant::I4(0)}, nullptr).ok());
    EXPECT_EQ(Value(RangeOf("A1"), kValue).bstr(), "keep");
    EXPECT_TRUE(Value(RangeOf("C1"), kValue).IsEmpty());
    EXPECT_TRUE(RangeOf("C1", "E2")->Invoke(kMerge, kMethodKind, {}, nullptr).ok());
    auto model = WorkbookModelOf(book_);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->sheets[0]->merges.size(), 1u);
    EXPECT_EQ(RectAddress(model->sheets[0]->merges[0]), "$A$1:$E$2");
    // Across: one merged area per row.
    EXPECT_TRUE(
        RangeOf("A5", "C6")->Invoke(kMerge, kMethodKind, {Variant::Bool(true)}, nullptr).ok());
    EXPECT_EQ(model->sheets[0]->merges.size(), 3u);
}

TEST_F(Server, FormattingCallsReachEveryCellOfTheRange) {
    DispatchPtr title = RangeOf("A1", "G1");
    DispatchPtr font = Object(title, kFont);
    Put(font, kName, {Variant::Bstr("宋体")});
    Put(font, kColorIndex, {Variant::I4(11)});
    Put(font, kSize, {Variant::I4(16)});
    Put(font, kBold, {Variant::I4(1)});
    Put(Object(title, kInterior), kColor, {Variant::R8(52479.0)});
    Put(title, kRowHeight, {Variant::I4(24)});
    Put(title, kHorizontalAlignment, {Variant::I4(kAlignCenter)});

    DispatchPtr g1 = RangeOf("G1");
    EXPECT_EQ(Value(Object(g1, kFont), kName).bstr(), "宋体");
    EXPECT_EQ(Value(Object(g1, kFont), kColorIndex).i4(), 11);
    EXPECT_EQ(Value(Object(g1, kFont), kSize).r8(), 16);
    EXPECT_TRUE(Value(Object(g1, kFont), kBold).boolean());
    EXPECT_EQ(Value(Object(g1, kInterior), kColor).r8(), 52479.0);
    EXPECT_EQ(Value(Object(g1, kInterior), kColorIndex).i4(), 44);
    EXPECT_EQ(Value(g1, kRowHeight).r8(), 24);
    EXPECT_EQ(Value(g1, kHorizontalAlignment).i4(), kAlignCenter);
    EXPECT_EQ(Value(g1, kVerticalAlignment).i4(), kAlignBottom);
    EXPECT_EQ(Value(RangeOf("H1"), kHorizontalAlignment).i4(), kAlignGeneral);
    // All seven cells share one format.
    const auto& cells = WorkbookModelOf(book_)->sheets[0]->cells;
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells.begin()->second.format, cells.rbegin()->second.format);

    // A block of too many cells is refused whole.
    Status huge = Object(RangeOf("A1", "Z100000"), kInterior)
                      ->Invoke(kColor, kPutKind, {Variant::R8(0)}, nullptr);
    EXPECT_NE(huge.text.find("would touch 2600000 cells; at most 2000000"), std::string::npos)
        << huge.text;
    // Column widths on whole rows and row heights on whole columns become
    // the sheet's standard.
    Put(Object(sheet_, kCells), kColumnWidth, {Variant::I4(12)});
    EXPECT_EQ(Value(RangeOf("Z9"), kColumnWidth).r8(), 12);
}

TEST_F(Server, WholeRowsAndColumnsKeepFormatsForLaterCells) {
    Put(RangeOf("B4"), kValue, {Variant::Bstr("before")});
    DispatchPtr columnB = Object(Object(sheet_, kColumns), kItem, {Variant::I4(2)});
    Put(Object(columnB, kFont), kBold, {Variant::I4(1)});
    DispatchPtr row3 = Object(Object(sheet_, kRows), kItem, {Variant::I4(3)});
    Put(Object(row3, kInterior), kColor, {Variant::R8(52479.0)});
    Put(RangeOf("B9"), kValue, {Variant::Bstr("after")});
    Put(RangeOf("D3"), kValue, {Variant::Bstr("in row 3")});
    const auto bold = [&](const char* cell) {
        return Value(Object(RangeOf(cell), kFont), kBold).boolean();
    };
    const auto fill = [&](const char* cell) {
        return Value(Object(RangeOf(cell), kInterior), kColor).r8();
    };
    EXPECT_TRUE(bold("B4"));    // there before
    EXPECT_TRUE(bold("B9"));    // made after
    EXPECT_TRUE(bold("B100"));  // never made
    EXPECT_FALSE(bold("C9"));
    EXPECT_EQ(fill("D3"), 52479.0);
    EXPECT_EQ(fill("XFD3"), 52479.0);
    EXPECT_EQ(fill("D4"), 16777215.0);  // no fill reads as white
    // The crossing shows both.
    EXPECT_TRUE(bold("B3"));
    EXPECT_EQ(fill("B3"), 52479.0);
    // Row and column formats do not make a used range; cells do.
    EXPECT_EQ(Address(Object(sheet_, kUsedRange)), "$B$3:$D$9");
    // The whole sheet: every column, every formatted row, every cell.
    Put(Object(sheet_, kCells), kHorizontalAlignment, {Variant::I4(kAlignCenter)});
    for (const char* cell : {"A1", "B3", "D3", "B9", "Z77"}) {
        EXPECT_EQ(Value(RangeOf(cell), kHorizontalAlignment).i4(), kAlignCenter) << cell;
    }
    EXPECT_TRUE(bold("B100"));
    EXPECT_EQ(fill("XFD3"), 52479.0);
}

TEST_F(Server, ClosedWorkbooksAndAQuitApplicationRefuseCalls) {
    const Variant name = Value(book_, kName);
    EXPECT_TRUE(
        book_->Invoke(kClose, kMethodKind, {Variant::I4(0), name, Variant::Missing()}, nullptr)
            .ok());
    Status closed = book_->Invoke(kName, kGetKind, {}, nullptr);
    EXPECT_EQ(closed.code, hr::kDisconnected);
    EXPECT_EQ(closed.text, "Workbook.Name: the workbook has been closed.");
    EXPECT_EQ(sheet_->Invoke(kCells, kGetKind, {}, nullptr).text,
              "Worksheet.Cells: the workbook has been closed.");
    EXPECT_EQ(Value(books_, kCount).i4(), 0);
    EXPECT_TRUE(books_->Invoke(kClose, kMethodKind, {}, nullptr).ok());
    EXPECT_TRUE(app_->Invoke(kQuit, kMethodKind, {}, nullptr).ok());
    EXPECT_EQ(app_->Invoke(kWorkbooks, kGetKind, {}, nullptr).text,
              "Application.Workbooks: the application has quit.");
}

TEST_F(Server, CloseWithSaveChangesSavesToTheGivenName) {
    testing::TempFolder dir;
    Put(RangeOf("A1"), kValue, {Variant::Bstr("saved on close")});
    const std::string path = dir.File("closing.xls");
    EXPECT_TRUE(
        book_->Invoke(kClose, kMethodKind, {Variant::Bool(true), Variant::Bstr(path)}, nullptr)
            .ok());
    EXPECT_EQ(testing::ReadFileBytes(path).substr(0, 4), "\xD0\xCF\x11\xE0");
    // Never saved and no name: refused, and the workbook stays open.
    DispatchPtr other = Object(books_, kAdd, {}, kMethodKind);
    Status s = other->Invoke(kClose, kMethodKind, {Variant::I4(1)}, nullptr);
    EXPECT_EQ(s.text, "Workbook.Close: no file name was given.");
    EXPECT_TRUE(other->Invoke(kName, kGetKind, {}, nullptr).ok());
}

// Calls made of random identifiers, kinds and arguments on every kind of
// object (fixed seed): each one either works or is refused with a text,
// and nothing crashes (this test runs under the sanitizers too).
TEST_F(Server, RandomCallsAreAnsweredOrRefusedWithAText) {
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    const DispId ids[] = {kWorkbooks,
                          kQuit,
                          kVisible,
                          kAdd,
                          kClose,
                          kName,
                          kWorksheets,
                          kSaveAs,
                          kItem,
                          kCount,
                          kDelete,
                          kCells,
                          kColumns,
                          kRows,
                          kRange,
                          kUsedRange,
                          kValue,
                          kAddress,
                          kColumnWidth,
                          kRowHeight,
                          kMerge,
                          kHorizontalAlignment,
                          kVerticalAlignment,
                          kFont,
                          kInterior,
                          kSize,
                          kBold,
                          kColorIndex,
                          kColor,
                          0x7777};
    const Variant pool[] = {Variant(),
                            Variant::Missing(),
                            Variant::I2(-1),
                            Variant::I2(2),
                            Variant::I4(0),
                            Variant::I4(3),
                            Variant::I4(1048577),
                            Variant::I4(-4108),
                            Variant::R8(1e300),
                            Variant::R8(24.5),
                            Variant::Bool(true),
                            Variant::Bstr("A1"),
                            Variant::Bstr("B2:C3"),
                            Variant::Bstr("x:y"),
                            Variant::Bstr("\xFF\xFE bad"),
                            Variant::Bstr(std::string(40, 'w')),
                            Variant::Error(hr::kTypeMismatch)};
    std::vector<DispatchPtr> objects = {app_, books_, book_, sheets_, sheet_};
    const InvokeKind kinds[] = {kGetKind, kPutKind, kMethodKind};
    testing::TempFolder dir;
    int answered = 0;
    for (int i = 0; i < 20000; ++i) {
        DispatchPtr target = objects[next(static_cast<std::uint32_t>(objects.size()))];
        const DispId id = ids[next(sizeof ids / sizeof ids[0])];
        if (id == kSaveAs || id == kQuit || id == kClose) continue;  // keep the session alive
        std::vector<Variant> args;
        const std::uint32_t count = next(4);
        for (std::uint32_t k = 0; k < count; ++k)
            args.push_back(pool[next(sizeof pool / sizeof pool[0])]);
        Variant result;
        Status s = target->Invoke(id, kinds[next(3)], args, &result);
        if (s.ok()) {
            ++answered;
            if (result.type() == VarType::Dispatch && objects.size() < 64)
                objects.push_back(result.object());
        } else {
            EXPECT_FALSE(s.text.empty()) << target->TypeName() << " " << id;
            EXPECT_TRUE(result.IsEmpty());
        }
    }
    EXPECT_GT(answered, 50);
    // Whatever was built can still be saved, or is refused with a reason.
    for (const char* name : {"random.xls", "random.xlsx"}) {
        Status s = book_->Invoke(kSaveAs, kMethodKind, {Variant::Bstr(dir.File(name))}, nullptr);
        if (!s.ok()) {
            EXPECT_FALSE(s.text.empty());
        }
    }
}

// The listing the export's test compares against: one record, every call
// in order, with its argument types.
TEST(RecordingServerTest, RecordsTheExportCallsInOrder) {
    RecordingServer excel;
    testing::TempFolder dir;
    testing::ExportInput input;
    input.rows = testing::SampleRows(1);
    input.path = dir.File("one.xls");
    ASSERT_TRUE(testing::RunExport(input).ok());
    const std::string missing = "ERROR 0x80020004";
    const std::vector<std::string> expected = {
        "Application#1.Visible 0x22E put(BOOL false)",
        "Application#1.Workbooks 0x23C get() -> Workbooks#2",
        "Workbooks#2.Add 0xB5 method(" + missing + ") -> Workbook#3",
        "Workbook#3.Name 0x6E get() -> BSTR \"Book1\"",
        "Workbook#3.Worksheets 0x1EE get() -> Worksheets#4",
        "Worksheets#4.Count 0x76 get() -> I4 3",
        "Worksheets#4.Item 0xAA get(I2 3) -> Worksheet#5",
        "Worksheet#5.Delete 0x75 method()",
        "Worksheets#4.Item 0xAA get(I2 2) -> Worksheet#6",
        "Worksheet#6.Delete 0x75 method()",
        "Worksheets#4.Item 0xAA get(I2 1) -> Worksheet#7",
        "Worksheet#7.Name 0x6E put(BSTR \"20140810 090503_OPERATOR_A7\")",
        "Worksheet#7.Columns 0xF1 get() -> Range#8",
        "Range#8.Item 0xAA get(I4 1, " + missing + ") -> Range#9",
        "Range#9.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 2, " + missing + ") -> Range#10",
        "Range#10.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 3, " + missing + ") -> Range#11",
        "Range#11.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 4, " + missing + ") -> Range#12",
        "Range#12.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 5, " + missing + ") -> Range#13",
        "Range#13.ColumnWidth 0xF2 put(I4 20)",
        "Worksheet#7.Range 0xC5 get(BSTR \"A1\", BSTR \"G1\") -> Range#14",
        "Range#14.Merge 0x234 method(I4 0)",
        "Range#14.RowHeight 0x110 put(I4 24)",
        "Range#14.Font 0x92 get() -> Font#15",
        "Font#15.Name 0x6E put(BSTR \"宋体\")",
        "Font#15.ColorIndex 0x61 put(I4 11)",
        "Font#15.Size 0x68 put(I4 16)",
        "Font#15.Bold 0x60 put(I4 1)",
        "Range#14.Interior 0x81 get() -> Interior#16",
        "Interior#16.Color 0x63 put(R8 52479)",
        "Range#14.Item 0xAA put(I4 1, I4 1, BSTR \"2014-08-10 09:05:03 Card Counter Record\")",
        "Worksheet#7.Range 0xC5 get(BSTR \"A2\", BSTR \"G2\") -> Range#17",
        "Range#17.RowHeight 0x110 put(I4 18)",
        "Range#17.Font 0x92 get() -> Font#18",
        "Font#18.Bold 0x60 put(I4 1)",
        "Range#17.Interior 0x81 get() -> Interior#19",
        "Interior#19.Color 0x63 put(R8 10092543)",
        "Range#17.Item 0xAA put(I4 1, I4 1, BSTR \"NUMBER\")",
        "Range#17.Item 0xAA put(I4 1, I4 2, BSTR \"SINGLE QUANTITY\")",
        "Range#17.Item 0xAA put(I4 1, I4 3, BSTR \"SUM OF COUNT\")",
        "Range#17.Item 0xAA put(I4 1, I4 4, BSTR \"OPERATOR\")",
        "Range#17.Item 0xAA put(I4 1, I4 5, BSTR \"RECORD TIME\")",
        "Worksheet#7.Cells 0xEE get() -> Range#20",
        "Range#20.Item 0xAA put(I4 3, I4 1, BSTR \"1\")",
        "Range#20.Item 0xAA put(I4 3, I4 2, BSTR \"101\")",
        "Range#20.Item 0xAA put(I4 3, I4 3, BSTR \"101\")",
        "Range#20.Item 0xAA put(I4 3, I4 4, BSTR \"A7\")",
        "Range#20.Item 0xAA put(I4 3, I4 5, BSTR \"2014-08-10 00:00:01\")",
        "Worksheet#7.UsedRange 0x19C get() -> Range#21",
        "Range#21.HorizontalAlignment 0x88 put(I4 -4108)",
        "Range#21.VerticalAlignment 0x89 put(I4 -4108)",
        "Workbook#3.SaveAs 0x785 method(BSTR \"" + input.path + "\", " + missing + ", " + missing +
            ", " + missing + ", " + missing + ", " + missing + ", I4 0, " + missing + ", " +
            missing + ", " + missing + ", " + missing + ", " + missing + ")",
        "Workbook#3.Close 0x115 method(I4 0, BSTR \"Book1\", " + missing + ")",
        "Workbooks#2.Close 0x115 method()",
        "Application#1.Quit 0x12E method()",
    };
    EXPECT_EQ(excel.log().Lines(), expected);
    // Every object handed out was released, the application last.
    const auto all = excel.log().LinesWithReleases();
    EXPECT_EQ(all.back(), "release Application#1");
    EXPECT_EQ(all.size(), expected.size() + 21);
    // The server behind the recorder did the work.
    EXPECT_EQ(testing::ReadFileBytes(input.path).substr(0, 4), "\xD0\xCF\x11\xE0");
}

TEST(RecordingServerTest, InjectedFailureStopsTheRunWithItsText) {
    RecordingServer excel;
    excel.log().FailOn("Workbook", kSaveAs, kMethodKind,
                       Status::Error(hr::kException, "Disk full."));
    testing::TempFolder dir;
    testing::ExportInput input;
    input.rows = testing::SampleRows(2);
    input.path = dir.File("never.xls");
    Status s = testing::RunExport(input);
    EXPECT_EQ(s.code, hr::kException);
    EXPECT_EQ(s.text, "Disk full.");
    EXPECT_TRUE(testing::ReadFileBytes(input.path).empty());
    const auto lines = excel.log().Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find("Workbook#3.SaveAs 0x785 method(BSTR"),
              std::string::npos);
    EXPECT_NE(lines[lines.size() - 2].find(" !! Disk full."), std::string::npos);
    EXPECT_EQ(lines.back(), "Application#1.Quit 0x12E method()");
}

TEST(RecordingServerTest, ServerRefusalsAreRecordedWithTheirText) {
    RecordingServer excel;
    testing::ExportInput input;
    input.rows = testing::SampleRows(1);
    input.operatorText = "N:S";
    Status s = testing::RunExport(input);
    EXPECT_EQ(s.code, hr::kException);
    EXPECT_NE(s.text.find("contains ':'"), std::string::npos);
    bool seen = false;
    for (const auto& line : excel.log().Lines()) {
        if (line.find("Worksheet#7.Name 0x6E put(BSTR \"20140810 090503_OPERATOR_N:S\") !! "
                      "Worksheet.Name: ") == 0) {
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
}

TEST(RecordingServerTest, ObjectArgumentsAreUnwrappedForTheServer) {
    RecordingServer excel;
    InitializeThread();
    DispatchPtr app;
    ASSERT_TRUE(CreateObject(kExcelProgId, &app).ok());
    Variant books, book, sheets, sheet, a1, b3, both;
    ASSERT_TRUE(app->Invoke(kWorkbooks, kGetKind, {}, &books).ok());
    ASSERT_TRUE(books.object()->Invoke(kAdd, kMethodKind, {}, &book).ok());
    ASSERT_TRUE(book.object()->Invoke(kWorksheets, kGetKind, {}, &sheets).ok());
    ASSERT_TRUE(sheets.object()->Invoke(kItem, kGetKind, {Variant::I4(1)}, &sheet).ok());
    ASSERT_TRUE(sheet.object()->Invoke(kRange, kGetKind, {Variant::Bstr("A1")}, &a1).ok());
    ASSERT_TRUE(sheet.object()->Invoke(kRange, kGetKind, {Variant::Bstr("B3")}, &b3).ok());
    ASSERT_TRUE(sheet.object()->Invoke(kRange, kGetKind, {a1, b3}, &both).ok());
    Variant address;
    ASSERT_TRUE(both.object()->Invoke(kAddress, kGetKind, {}, &address).ok());
    EXPECT_EQ(address.bstr(), "$A$1:$B$3");
    EXPECT_EQ(excel.log().Lines()[6],
              "Worksheet#5.Range 0xC5 get(DISPATCH Range#6, DISPATCH Range#7) -> Range#8");
    UninitializeThread();
}

}  // namespace
}  // namespace automation
