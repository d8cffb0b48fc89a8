// The "Export EXCEL" button of the real main window: the calls it makes on
// the spreadsheet server (recorded), the files it saves (read back with
// xlrd and openpyxl), and every way out of it.
#include "app/output/excel_export.h"

#include <QApplication>
#include <QProgressBar>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/resource.h"
#include "automation/com_runtime.h"
#include "automation/excel_server.h"
#include "automation/recording_server.h"
#include "export_script.h"
#include "main_window_fixture.h"
#include "workbook_reader.h"

namespace {

using automation::DispatchPtr;
using automation::DispId;
using automation::InvokeKind;
using automation::RecordingServer;
using automation::Status;
using automation::Variant;
using automation::testing::ReadWorkbook;
namespace excel = automation::excel;

const std::string kMissing = "ERROR 0x80020004";

std::string Dump(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& head) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(head, 0) == 0) out.push_back(l);
    return out;
}

// The visible "Please Wait" window's bar, or -1 when none is shown.
int WaitWindowProgress() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() != "Please Wait" || !w->isVisible()) continue;
        auto* bar = w->findChild<QProgressBar*>();
        return bar ? bar->value() : -2;
    }
    return -1;
}

// Stands between the export and the real server: `hook` sees every call
// (and may rewrite its arguments) before the server does; objects handed
// back are wrapped alike.
class Tap : public automation::Dispatch {
  public:
    using Hook = std::function<void(const std::string& type, DispId, InvokeKind,
                                    std::vector<Variant>* args)>;
    Tap(DispatchPtr inner, Hook hook) : inner_(std::move(inner)), hook_(std::move(hook)) {}
    const char* TypeName() const override { return inner_->TypeName(); }
    std::string MemberName(DispId id) const override { return inner_->MemberName(id); }
    Status Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args,
                  Variant* result) override {
        std::vector<Variant> passed = args;
        hook_(inner_->TypeName(), id, kind, &passed);
        Variant value;
        Status status = inner_->Invoke(id, kind, passed, &value);
        if (value.type() == automation::VarType::Dispatch && value.object())
            value = Variant::Object(std::make_shared<Tap>(value.object(), hook_));
        if (result) *result = value;
        return status;
    }

    static automation::ServerFactory Factory(Hook hook) {
        return [hook](Status* failure) -> DispatchPtr {
            DispatchPtr app = automation::ExcelServerFactory()(failure);
            return app ? std::make_shared<Tap>(app, hook) : nullptr;
        };
    }

  private:
    DispatchPtr inner_;
    Hook hook_;
};

class ExcelExportTest : public MainWindowTest {
  protected:
    ExcelExportTest() {
        clock.now.tm_sec = 3;  // 2014-08-10 09:05:03
        dlg.Create();
        dlg.m_operator = "A7";
    }

    // `count` records, newest first, as the list shows them.
    void AddRecords(int count) {
        const auto rows = automation::testing::SampleRows(count, dlg.m_operator);
        for (int i = 0; i < count; ++i) {
            dlg.m_list.InsertItem(i, rows[i][0]);
            for (int j = 1; j < 5; ++j) dlg.m_list.SetItemText(i, j, rows[i][j]);
        }
    }

    std::string ExportFolder() { return location.Folder() + "Export Files"; }

    // Presses the button once, answering the Save dialog with `answer`
    // (nullopt: cancelled).
    void Export(std::optional<std::string> answer) {
        dialogs.savePaths = {std::move(answer)};
        dlg.SendCommand(IDC_EXPORT_EXCEL);
        EXPECT_EQ(automation::ThreadInitCount(), initsBefore);
        EXPECT_EQ(WaitWindowProgress(), -1) << "the wait window outlived the export";
    }

    int initsBefore = automation::ThreadInitCount();
    automation::testing::TempFolder out;
    CMytallydeskDlg dlg;
};

TEST_F(ExcelExportTest, OneRecordMakesEveryCallInOrderWithItsArgumentTypes) {
    RecordingServer excel;
    AddRecords(1);
    const std::string path = out.File("one.xls");
    Export(out.File("one"));  // the dialog gives a bare name its ".xls"

    const std::vector<std::string> expected = {
        "Application#1.Visible 0x22E put(BOOL false)",
        "Application#1.Workbooks 0x23C get() -> Workbooks#2",
        "Workbooks#2.Add 0xB5 method(" + kMissing + ") -> Workbook#3",
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
        "Range#8.Item 0xAA get(I4 1, " + kMissing + ") -> Range#9",
        "Range#9.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 2, " + kMissing + ") -> Range#10",
        "Range#10.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 3, " + kMissing + ") -> Range#11",
        "Range#11.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 4, " + kMissing + ") -> Range#12",
        "Range#12.ColumnWidth 0xF2 put(I4 20)",
        "Range#8.Item 0xAA get(I4 5, " + kMissing + ") -> Range#13",
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
        "Workbook#3.SaveAs 0x785 method(BSTR \"" + path + "\", " + kMissing + ", " + kMissing +
            ", " + kMissing + ", " + kMissing + ", " + kMissing + ", I4 0, " + kMissing + ", " +
            kMissing + ", " + kMissing + ", " + kMissing + ", " + kMissing + ")",
        "Workbook#3.Close 0x115 method(I4 0, BSTR \"Book1\", " + kMissing + ")",
        "Workbooks#2.Close 0x115 method()",
        "Application#1.Quit 0x12E method()",
    };
    EXPECT_EQ(excel.log().Lines(), expected);
    // After Quit the held references go, the application last.
    const auto all = excel.log().LinesWithReleases();
    const std::vector<std::string> releases(all.end() - 6, all.end());
    EXPECT_EQ(releases, (std::vector<std::string>{"release Range#21", "release Worksheet#7",
                                                  "release Worksheets#4", "release Workbook#3",
                                                  "release Workbooks#2", "release Application#1"}));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts()[0];

    // The Save dialog: opened in "Export Files" beside the program, which was
    // made for it; no proposed name, no overwrite prompt.
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    const SaveFileRequest& request = dialogs.saveRequests[0];
    EXPECT_EQ(request.filter, "Excel 文件(*.xls)|*.xls|All Files(*.*)|*.*||");
    EXPECT_EQ(request.initialFolder, ExportFolder());
    EXPECT_EQ(request.defaultExt, "xls");
    EXPECT_EQ(request.fileName, "");
    EXPECT_FALSE(request.overwritePrompt);
    EXPECT_TRUE(std::filesystem::is_directory(ExportFolder()));
}

TEST_F(ExcelExportTest, WaitWindowIsPaintedFirstAndReachesTheEndBeforeTheLastRecord) {
    // Progress seen as each record's first cell is written, and whether the
    // window was up when the sheet was named (before the loop).
    std::vector<int> seen;
    int atName = -1;
    automation::ScopedServerRegistration tap(
        automation::kExcelProgId, Tap::Factory([&](const std::string& type, DispId id,
                                                   InvokeKind kind, std::vector<Variant>* args) {
            if (type == "Worksheet" && id == excel::kName) atName = WaitWindowProgress();
            if (type == "Range" && id == excel::kItem && kind == InvokeKind::PropertyPut &&
                (*args)[0].i4() >= 3 && (*args)[1].i4() == 1)
                seen.push_back(WaitWindowProgress());
        }));
    AddRecords(3);
    Export(out.File("three.xls"));
    EXPECT_EQ(atName, 0);
    EXPECT_EQ(seen, (std::vector<int>{33, 66, 100}));

    seen.clear();
    dlg.m_list.DeleteAllItems();
    AddRecords(1);
    Export(out.File("single.xls"));
    EXPECT_EQ(seen, std::vector<int>{100});
}

// What the readers find, through the window, for both file formats.
TEST_F(ExcelExportTest, SavedWorkbooksReadBackWithTitleHeadersRecordsAndFormats) {
    AddRecords(3);
    struct Case {
        const char* name;
        std::string width;  // xlrd reports the stored 1/256 units
        std::string title;  // font and fill of the title
    };
    const Case cases[] = {
        {"report.xls", "5302",
         "font=\"宋体\" size=16 bold=1 color=000080 fill=FFCC00 h=center v=center cidx=18 "
         "pidx=51"},
        {"report.xlsx", "20.7109",
         "font=\"宋体\" size=16 bold=1 color=000080 fill=FFCC00 h=center v=center"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Export(out.File(c.name));
        const auto lines = ReadWorkbook(out.File(c.name));
        for (const std::string& wanted : {
                 std::string("sheet 0 \"20140810 090503_OPERATOR_A7\""),
                 std::string("merged 0 A1:G1"),
                 "colwidth 0 A " + c.width,
                 "colwidth 0 E " + c.width,
                 std::string("rowheight 0 1 24"),
                 std::string("rowheight 0 2 18"),
                 "cell 0 A1 text \"2014-08-10 09:05:03 Card Counter Record\" " + c.title,
             })
            EXPECT_TRUE(Has(lines, wanted)) << wanted << "\n" << Dump(lines);
        EXPECT_EQ(Starting(lines, "sheet ").size(), 1u);
        EXPECT_EQ(Starting(lines, "colwidth ").size(), 5u);
        // Headers in row 2, records from row 3 newest first, all as text,
        // header fill FFFF99, every used cell centred.
        const std::vector<std::pair<std::string, std::string>> texts = {
            {"A2", "NUMBER"}, {"E2", "RECORD TIME"}, {"A3", "3"},   {"D3", "A7"},
            {"A4", "2"},      {"A5", "1"},           {"C5", "101"}, {"E5", "2014-08-10 00:00:01"},
        };
        for (const auto& [ref, text] : texts) {
            const auto cell = Starting(lines, "cell 0 " + ref + " ");
            ASSERT_EQ(cell.size(), 1u) << ref << "\n" << Dump(lines);
            EXPECT_EQ(cell[0].find("cell 0 " + ref + " text \"" + text + "\" "), 0u) << cell[0];
            EXPECT_NE(cell[0].find(" h=center v=center"), std::string::npos) << cell[0];
            EXPECT_EQ(cell[0].find(" fill=FFFF99 ") != std::string::npos, ref[1] == '2') << cell[0];
        }
        EXPECT_TRUE(Starting(lines, "cell 0 A6 ").empty());
    }
}

TEST_F(ExcelExportTest, ChosenPathGetsXlsOnlyWhenItHoldsNoXls) {
    // The rule itself.
    const std::pair<const char*, const char*> rule[] = {
        {"/out/report", "/out/report.xls"},
        {"/out/report.XLS", "/out/report.XLS.xls"},
        {"/data.xls/book", "/data.xls/book"},
        {"/out/report.xlsx", "/out/report.xlsx"},
    };
    for (const auto& [chosen, saved] : rule) EXPECT_EQ(WorkbookSavePath(chosen), saved) << chosen;

    // Through the window, where a bare name first gets the dialog's default
    // extension.
    std::filesystem::create_directory(out.File("data.xls"));
    const std::pair<std::string, std::string> typed[] = {
        {out.File("report"), out.File("report.xls")},
        {out.File("report.XLS"), out.File("report.XLS.xls")},
        {out.File("data.xls/book"), out.File("data.xls/book.xls")},
        {out.File("data.xls/book.txt"), out.File("data.xls/book.txt")},
    };
    AddRecords(1);
    for (const auto& [answer, saved] : typed) {
        RecordingServer excel;
        Export(answer);
        const auto saves = Starting(excel.log().Lines(), "Workbook#3.SaveAs 0x785 method(BSTR \"");
        ASSERT_EQ(saves.size(), 1u) << answer;
        EXPECT_EQ(saves[0].find("Workbook#3.SaveAs 0x785 method(BSTR \"" + saved + "\", "), 0u)
            << saves[0];
        EXPECT_TRUE(std::filesystem::is_regular_file(saved)) << saved;
    }
}

TEST_F(ExcelExportTest, NoRecordsWarnsBeforeAnyDialogWritesNothingAndStillQuits) {
    RecordingServer excel;
    Export(out.File("empty.xls"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "No record Data，Can not Export!");
    EXPECT_EQ(dialogs.shown[0].caption, "Note");
    EXPECT_EQ(dialogs.shown[0].type, MB_ICONWARNING | MB_TOPMOST);
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_FALSE(std::filesystem::exists(out.File("empty.xls")));
    const auto lines = excel.log().Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{
                  "Workbook#3.Close 0x115 method(I4 0, BSTR \"Book1\", " + kMissing + ")",
                  "Workbooks#2.Close 0x115 method()", "Application#1.Quit 0x12E method()"}));
    EXPECT_TRUE(Starting(lines, "Worksheet#7.Name").empty()) << Dump(lines);
}

TEST_F(ExcelExportTest, CancelledSaveDialogDiscardsTheWorkbookAndQuits) {
    RecordingServer excel;
    AddRecords(2);
    Export(std::nullopt);
    EXPECT_TRUE(dialogs.shown.empty());
    const auto lines = excel.log().Lines();
    EXPECT_TRUE(Starting(lines, "Workbook#3.SaveAs").empty());
    EXPECT_EQ(lines.back(), "Application#1.Quit 0x12E method()");
    EXPECT_TRUE(std::filesystem::is_empty(ExportFolder()));
}

TEST_F(ExcelExportTest, OnlyExactlyLowerCaseCsvHandsOverToTheCsvExport) {
    AddRecords(1);
    const std::pair<const char*, bool> cases[] = {
        {"csv", true}, {"CSV", false}, {"Csv", false}, {"", false}, {"xls", false}};
    for (const auto& [type, csv] : cases) {
        SCOPED_TRACE(type);
        RecordingServer excel;
        dlg.m_exportType = type;
        dialogs.saveRequests.clear();
        Export(std::nullopt);
        ASSERT_EQ(dialogs.saveRequests.size(), 1u);
        EXPECT_EQ(dialogs.saveRequests[0].defaultExt, csv ? "csv" : "xls");
        EXPECT_EQ(excel.log().Lines().empty(), csv);
    }
}

TEST_F(ExcelExportTest, SheetNameIsCutAndCleanedToWhatASheetNameMayHold) {
    std::tm t{};
    t.tm_year = 114;
    t.tm_mon = 7;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    const std::string prefix = "20140810 090503_OPERATOR_";  // 25 characters
    const std::pair<std::string, std::string> cases[] = {
        {"A7", prefix + "A7"},
        {"", prefix},
        {"a:b\\c/d?e*f[g]h", prefix + "a_b_c_"},
        {"李四", prefix + "李四"},                    // two characters, six bytes
        {"ab'", prefix + "ab_"},                      // no closing apostrophe
        {"abcd'f", prefix + "abcd'f"},                // inside is fine
        {"abcde\xF0\x9F\x98\x80", prefix + "abcde"},  // no half of a surrogate pair
        {"abcd\xF0\x9F\x98\x80", prefix + "abcd\xF0\x9F\x98\x80"},
        {"a\xFF"
         "b",
         prefix + "a\xEF\xBF\xBD"
                  "b"},  // stray byte: one replacement
    };
    for (const auto& [op, name] : cases) EXPECT_EQ(RecordSheetName(t, op), name) << op;

    EXPECT_EQ(CutToCharacters(std::string(120, 'h'), 99), std::string(99, 'h'));
    EXPECT_EQ(CutToCharacters("宋体宋体", 3), "宋体宋");

    // Through the window: a 40-character operator text with a "/" saves.
    dlg.m_operator = "shift/B " + std::string(32, 'x');
    ASSERT_EQ(dlg.m_operator.size(), 40u);
    AddRecords(1);
    Export(out.File("long.xls"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts()[0];
    EXPECT_TRUE(Has(ReadWorkbook(out.File("long.xls")), "sheet 0 \"" + prefix + "shift_\""));
}

TEST_F(ExcelExportTest, RefusedCallShowsItsTextCleansUpAndTheNextExportWorks) {
    AddRecords(2);
    {
        RecordingServer excel;
        excel.log().FailOn("Range", excel::kItem, InvokeKind::PropertyPut,
                           Status::Error(automation::hr::kException, "Disk gremlins."), 8);
        Export(out.File("never.xls"));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, "Disk gremlins.");
        EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
        EXPECT_EQ(dialogs.shown[0].type, MB_ICONEXCLAMATION);
        EXPECT_TRUE(dialogs.saveRequests.empty());
        const auto lines = excel.log().Lines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_NE(lines[lines.size() - 4].find(" !! Disk gremlins."), std::string::npos);
        EXPECT_EQ(lines.back(), "Application#1.Quit 0x12E method()");
        EXPECT_EQ(excel.log().LinesWithReleases().back(), "release Application#1");
    }
    {
        // A refusal on the way out does not stop the rest of the way out; a
        // server without words still gets a message.
        RecordingServer excel;
        excel.log().FailOn("Workbook", excel::kClose, InvokeKind::Method,
                           Status::Error(automation::hr::kException, ""));
        dialogs.shown.clear();
        Export(out.File("closing.xls"));
        EXPECT_EQ(
            dialogs.Texts(),
            std::vector<std::string>{"The spreadsheet server refused a call (error 0x80020009)."});
        const auto lines = excel.log().Lines();
        EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
                  (std::vector<std::string>{"Workbooks#2.Close 0x115 method()",
                                            "Application#1.Quit 0x12E method()"}));
        EXPECT_TRUE(std::filesystem::is_regular_file(out.File("closing.xls")));
    }
    dialogs.shown.clear();
    Export(out.File("after.xls"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts()[0];
    EXPECT_TRUE(std::filesystem::is_regular_file(out.File("after.xls")));
}

TEST_F(ExcelExportTest, TwoExportsInARowAndOnAThreadInitialisedBefore) {
    AddRecords(2);
    Export(out.File("first.xls"));
    automation::InitializeThread();  // someone else's initialisation
    initsBefore = automation::ThreadInitCount();
    Export(out.File("second.xls"));
    automation::UninitializeThread();
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts()[0];
    for (const char* name : {"first.xls", "second.xls"})
        EXPECT_TRUE(Has(ReadWorkbook(out.File(name)),
                        "cell 0 A3 text \"2\" font=\"Arial\" size=10 "
                        "bold=0 color=auto fill=none h=center "
                        "v=center cidx=32767 pidx=-1"))
            << name;
}

TEST_F(ExcelExportTest, WorkbookWithOneWorksheetDeletesNothing) {
    // A server whose new workbooks hold a single worksheet.
    RecordingServer excel(automation::kExcelProgId,
                          Tap::Factory([](const std::string& type, DispId id, InvokeKind,
                                          std::vector<Variant>* args) {
                              if (type == "Workbooks" && id == excel::kAdd)
                                  *args = {Variant::I4(excel::kTemplateWorksheet)};
                          }));
    AddRecords(1);
    Export(out.File("lone.xls"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts()[0];
    const auto lines = excel.log().Lines();
    EXPECT_TRUE(Has(lines, "Worksheets#4.Count 0x76 get() -> I4 1")) << Dump(lines);
    EXPECT_TRUE(Starting(lines, "Worksheet#5.Delete").empty()) << Dump(lines);
    EXPECT_TRUE(std::filesystem::is_regular_file(out.File("lone.xls")));
}

TEST_F(ExcelExportTest, MissingServerIsReportedAndNothingElseHappens) {
    automation::ScopedServerRegistration none(automation::kExcelProgId, [](Status* failure) {
        *failure = Status::Error(automation::hr::kServerFailed, "not installed");
        return DispatchPtr();
    });
    AddRecords(1);
    Export(out.File("none.xls"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Create Excel service failed!");
    EXPECT_EQ(dialogs.shown[0].caption, "Note");
    EXPECT_EQ(dialogs.shown[0].type, MB_ICONWARNING);
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

}  // namespace
