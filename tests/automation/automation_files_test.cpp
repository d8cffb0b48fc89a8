// Whole files as the export makes them: the server driven through the
// export's own sequence of calls, the saved workbook read back by
// independent readers (xlrd for .xls, openpyxl for .xlsx).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "export_script.h"
#include "workbook_reader.h"

namespace automation {
namespace {

using testing::ExportInput;
using testing::ReadWorkbook;
using testing::RunExport;
using testing::SampleRows;
using testing::TempFolder;

std::string Dump(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

void ExpectLines(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    for (const auto& w : wanted) {
        bool found = false;
        for (const auto& l : lines) found = found || l == w;
        EXPECT_TRUE(found) << "missing: " << w << "\nread:\n" << Dump(lines);
    }
}

std::vector<std::string> Prefixed(const std::vector<std::string>& lines,
                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
}

const char* const kTitleXls =
    "font=\"宋体\" size=16 bold=1 color=000080 fill=FFCC00 h=center v=center cidx=18 pidx=51";
const char* const kHeaderXls =
    "font=\"Arial\" size=10 bold=1 color=auto fill=FFFF99 h=center v=center cidx=32767 pidx=43";
const char* const kRecordXls =
    "font=\"Arial\" size=10 bold=0 color=auto fill=none h=center v=center cidx=32767 pidx=-1";

TEST(ExportFiles, OneRecordAsExcel97Workbook) {
    TempFolder dir;
    ExportInput input;
    input.rows = SampleRows(1);
    input.path = dir.File("report.xls");
    ASSERT_TRUE(RunExport(input).ok());
    const auto lines = ReadWorkbook(input.path);
    const std::string t = kTitleXls, h = kHeaderXls, r = kRecordXls;
    ExpectLines(lines, {
                           "sheet 0 \"20140810 090503_OPERATOR_A7\"",
                           "merged 0 A1:G1",
                           "colwidth 0 A 5302",
                           "colwidth 0 E 5302",
                           "rowheight 0 1 24",
                           "rowheight 0 2 18",
                           "cell 0 A1 text \"2014-08-10 09:05:03 Card Counter Record\" " + t,
                           "cell 0 G1 blank \"\" " + t,
                           "cell 0 A2 text \"NUMBER\" " + h,
                           "cell 0 B2 text \"SINGLE QUANTITY\" " + h,
                           "cell 0 C2 text \"SUM OF COUNT\" " + h,
                           "cell 0 D2 text \"OPERATOR\" " + h,
                           "cell 0 E2 text \"RECORD TIME\" " + h,
                           "cell 0 G2 blank \"\" " + h,
                           "cell 0 A3 text \"1\" " + r,
                           "cell 0 B3 text \"101\" " + r,
                           "cell 0 C3 text \"101\" " + r,
                           "cell 0 D3 text \"A7\" " + r,
                           "cell 0 E3 text \"2014-08-10 00:00:01\" " + r,
                           "cell 0 G3 blank \"\" " + r,
                       });
    // Only the first sheet is left, five widths are set, nothing past G3.
    EXPECT_EQ(Prefixed(lines, "sheet ").size(), 1u);
    EXPECT_EQ(Prefixed(lines, "colwidth ").size(), 5u);
    EXPECT_EQ(Prefixed(lines, "cell ").size(), 21u) << Dump(lines);
}

TEST(ExportFiles, OneRecordAsOfficeOpenXmlWorkbook) {
    TempFolder dir;
    ExportInput input;
    input.rows = SampleRows(1);
    input.path = dir.File("report.xlsx");
    ASSERT_TRUE(RunExport(input).ok());
    EXPECT_EQ(testing::ReadFileBytes(input.path).substr(0, 2), "PK");
    const auto lines = ReadWorkbook(input.path);
    const std::string t = "font=\"宋体\" size=16 bold=1 color=000080 fill=FFCC00 h=center v=center";
    const std::string h =
        "font=\"Calibri\" size=11 bold=1 color=auto fill=FFFF99 h=center v=center";
    const std::string r = "font=\"Calibri\" size=11 bold=0 color=auto fill=none h=center v=center";
    ExpectLines(lines, {
                           "sheet 0 \"20140810 090503_OPERATOR_A7\"",
                           "merged 0 A1:G1",
                           "colwidth 0 A 20.7109",
                           "colwidth 0 E 20.7109",
                           "rowheight 0 1 24",
                           "rowheight 0 2 18",
                           "cell 0 A1 text \"2014-08-10 09:05:03 Card Counter Record\" " + t,
                           "cell 0 A2 text \"NUMBER\" " + h,
                           "cell 0 E2 text \"RECORD TIME\" " + h,
                           "cell 0 A3 text \"1\" " + r,
                           "cell 0 E3 text \"2014-08-10 00:00:01\" " + r,
                           "cell 0 G3 blank \"\" " + r,
                       });
    EXPECT_EQ(Prefixed(lines, "sheet ").size(), 1u);
    EXPECT_EQ(Prefixed(lines, "colwidth ").size(), 5u);
}

TEST(ExportFiles, RecordsNewestFirstAndChineseTextsInBothFormats) {
    for (const char* name : {"chinese.xls", "chinese.xlsx"}) {
        TempFolder dir;
        ExportInput input;
        input.operatorText = "张三";
        input.rows = SampleRows(40, "张三");
        input.path = dir.File(name);
        ASSERT_TRUE(RunExport(input).ok()) << name;
        const auto lines = ReadWorkbook(input.path);
        const std::string sheet = "sheet 0 \"20140810 090503_OPERATOR_张三\"";
        EXPECT_EQ(lines.at(0), sheet) << Dump(lines);
        const auto a3 = Prefixed(lines, "cell 0 A3 ");
        const auto a42 = Prefixed(lines, "cell 0 A42 ");
        const auto d42 = Prefixed(lines, "cell 0 D42 ");
        ASSERT_EQ(a3.size(), 1u) << name;
        ASSERT_EQ(a42.size(), 1u) << name;
        EXPECT_EQ(a3[0].rfind("cell 0 A3 text \"40\" ", 0), 0u) << a3[0];
        EXPECT_EQ(a42[0].rfind("cell 0 A42 text \"1\" ", 0), 0u) << a42[0];
        EXPECT_EQ(d42.at(0).rfind("cell 0 D42 text \"张三\" ", 0), 0u) << d42.at(0);
        EXPECT_TRUE(Prefixed(lines, "cell 0 A43 ").empty());
    }
}

// The whole .xls file of a one-record export, byte for byte: the writer
// puts no clock or machine into the file, so any change shows here. After
// a deliberate change of the format, run the test with
// TALLY_UPDATE_GOLDEN=1 to write the reference again, and read it back
// with the tests above before committing it.
TEST(ExportFiles, OneRecordXlsMatchesTheReferenceFile) {
    TempFolder dir;
    ExportInput input;
    input.rows = SampleRows(1);
    input.path = dir.File("report.xls");
    ASSERT_TRUE(RunExport(input).ok());
    const std::string actual = testing::ReadFileBytes(input.path);
    const std::string reference = std::string(TALLY_AUTOMATION_GOLDEN_DIR) + "/one_record.xls";
    if (std::getenv("TALLY_UPDATE_GOLDEN")) {
        std::ofstream(reference, std::ios::binary) << actual;
    }
    const std::string expected = testing::ReadFileBytes(reference);
    ASSERT_FALSE(expected.empty()) << "missing " << reference;
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "differs from " << reference;
}

TEST(ExportFiles, UnwritableFileStopsTheExportWithTheReason) {
    for (const char* name : {"no-such-folder/report.xls", "no-such-folder/report.xlsx"}) {
        TempFolder dir;
        ExportInput input;
        input.rows = SampleRows(2);
        input.path = dir.File(name);
        Status s = RunExport(input);
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_EQ(s.text.rfind("Workbook.SaveAs: Cannot save \"" + input.path + "\": ", 0), 0u)
            << s.text;
        struct stat info;
        EXPECT_NE(stat(input.path.c_str(), &info), 0) << name;
    }
}

}  // namespace
}  // namespace automation
