// Print Single and Print One Page through the main window, on a recording
// device context handed out by the printer seam: the calls of each job,
// every text at its place, and the ways a print ends without a page.
#include <algorithm>
#include <memory>

#include "app/resource.h"
#include "main_window_fixture.h"
#include "recording_dc.h"

namespace {

using tallyprint::DeviceContext;
using tallyprint::RecordingDC;

// A recording device context whose calls outlive it: the handler destroys
// its device context before it returns.
class KeptDC : public RecordingDC {
  public:
    explicit KeptDC(std::vector<std::string>* out) : out_(out) {}
    ~KeptDC() override { *out_ = calls; }

  private:
    std::vector<std::string>* out_;
};

class FakePrinter : public PrinterService {
  public:
    std::string entry = "Labels,cups,spool";
    bool createFails = false;
    bool failStartDoc = false;
    std::vector<std::string> created;  // "driver device port" per device context
    std::vector<std::string> calls;    // of the last job

    std::string DefaultPrinterEntry() override { return entry; }
    std::unique_ptr<DeviceContext> CreateDC(const std::string& driver, const std::string& device,
                                            const std::string& port) override {
        created.push_back(driver + " " + device + " " + port);
        if (createFails) return nullptr;
        auto dc = std::make_unique<KeptDC>(&calls);
        dc->failStartDoc = failStartDoc;
        return dc;
    }
};

class PrintHandlersTest : public MainWindowTest {
  protected:
    PrintHandlersTest() {
        dlg.Create();
        dlg.SetDlgItemText(IDC_CUSTOMER_ID, "C01");
        dlg.SetDlgItemText(IDC_PRODUCT_BATCH, "PB-7");
        dlg.SetDlgItemText(IDC_BOX_NUM, "3");
        dlg.SetDlgItemText(IDC_BOX_COUNT, "10");
        dlg.SetDlgItemText(IDC_OPERATOR, "张三");
        dlg.SetDlgItemText(IDC_CARD_COUNT, "1234");
        dlg.m_lastRecordDate = "10/08/2014";
        dlg.m_lastRecordTime = "09:05:12";
    }
    ~PrintHandlersTest() override { dlg.DestroyWindow(); }

    // Records 1 to n in the list, newest on top; record k counts 3k cards,
    // shown with blanks around it as a typed-over cell may be.
    void AddRecords(int n) {
        for (int k = 1; k <= n; ++k) {
            dlg.m_list.InsertItem(0, std::to_string(k));
            dlg.m_list.SetItemText(0, 1, " " + std::to_string(3 * k) + " ");
        }
        dlg.m_recordNumber = n;
    }

    void PrintPage(const std::string& start, const std::string& end) {
        dlg.SetDlgItemText(IDC_PRINT_START_BOX_NUM, start);
        dlg.SetDlgItemText(IDC_PRINT_END_BOX_NUM, end);
        dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->EnableWindow(TRUE);
        dlg.SendCommand(IDC_PRINT_ONE_PAGE);
    }

    // The page's drawn texts in order: "x y text"; a large figure as "L x y text".
    std::vector<std::string> Drawn() const {
        std::vector<std::string> out;
        bool large = false;
        for (const std::string& c : printer.calls) {
            if (c == "UseLargeFont") large = true;
            if (c == "RestoreState") large = false;
            if (c.rfind("DrawText ", 0) == 0) out.push_back((large ? "L " : "") + c.substr(9));
        }
        return out;
    }

    bool PrintButtonsEnabled() const {
        return dlg.GetDlgItem(IDC_PRINT_SINGLE)->IsWindowEnabled() ||
               dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->IsWindowEnabled();
    }

    FakePrinter printer;
    ScopedSeam<PrinterService> printers{&printer};
    CMytallydeskDlg dlg;
};

TEST_F(PrintHandlersTest, SingleLabelIsOneJobOfOnePage) {
    dlg.GetDlgItem(IDC_PRINT_SINGLE)->EnableWindow(TRUE);
    dlg.SendCommand(IDC_PRINT_SINGLE);

    EXPECT_EQ(printer.created, std::vector<std::string>{"cups Labels spool"});
    const std::vector<std::string> expected = {
        "StartDoc printer",
        "StartPage",
        "SaveState",
        "DrawText 300 100 CustomerID:C01",
        "DrawText 300 200 ProductBatch:PB-7",
        "DrawText 300 300 BoxSerialNo.:3/10",
        "DrawText 300 600 Operator:张三",
        "DrawText 300 700 PrintDate:10/08/2014",
        "DrawText 300 800 PrintTime:09:05:12",
        "UseLargeFont",
        "DrawText 400 400 1234",
        "RestoreState",
        "EndPage",
        "EndDoc",
    };
    EXPECT_EQ(printer.calls, expected);
    EXPECT_FALSE(dlg.GetDlgItem(IDC_PRINT_SINGLE)->IsWindowEnabled());
    EXPECT_TRUE(dialogs.shown.empty());
}

// After a click on the row of box 3: range 1 to 3, two labels in the first
// row and one in the second; all texts first, then the large figures.
TEST_F(PrintHandlersTest, PageOfThreeLabels) {
    AddRecords(3);
    PrintPage("1", "3");
    const std::vector<std::string> expected = {
        "300 100 CustomerID:C01",
        "300 200 ProductBatch:PB-7",
        "300 300 BoxSerialNo:1/10",
        "300 600 Operator:张三",
        "300 700 PrintDate:10/08/2014",
        "300 800 PrintTime:09:05:12",
        "1400 100 CustomerID:C01",
        "1400 200 ProductBatch:PB-7",
        "1400 300 BoxSerialNo:2/10",
        "1400 600 Operator:张三",
        "1400 700 PrintDate:10/08/2014",
        "1400 800 PrintTime:09:05:12",
        "300 1300 CustomerID:C01",
        "300 1400 ProductBatch:PB-7",
        "300 1500 BoxSerialNo:3/10",
        "300 1800 Operator:张三",
        "300 1900 PrintDate:10/08/2014",
        "300 2000 PrintTime:09:05:12",
        "L 400 400 3",
        "L 1500 400 6",
        "L 400 1600 9",
    };
    EXPECT_EQ(Drawn(), expected);
    EXPECT_EQ(printer.calls.front(), "StartDoc printer");
    EXPECT_EQ(printer.calls.back(), "EndDoc");
    EXPECT_FALSE(dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->IsWindowEnabled());
}

// Box lines and large figures of a page, in drawing order.
struct PageCase {
    const char* start;
    const char* end;
    std::vector<std::string> boxLines;
    std::vector<std::string> figures;
};

TEST_F(PrintHandlersTest, PagesForTheirRanges) {
    AddRecords(20);
    const PageCase cases[] = {
        // After a click on box 20: its page is boxes 15 to 20.
        {"15",
         "20",
         {"300 300 BoxSerialNo:15/10", "1400 300 BoxSerialNo:16/10", "300 1500 BoxSerialNo:17/10",
          "1400 1500 BoxSerialNo:18/10", "300 2700 BoxSerialNo:19/10",
          "1400 2700 BoxSerialNo:20/10"},
         {"L 400 400 45", "L 1500 400 48", "L 400 1600 51", "L 1500 1600 54", "L 400 2800 57",
          "L 1500 2800 60"}},
        // More than six: only the first six of the range.
        {"2",
         "40",
         {"300 300 BoxSerialNo:2/10", "1400 300 BoxSerialNo:3/10", "300 1500 BoxSerialNo:4/10",
          "1400 1500 BoxSerialNo:5/10", "300 2700 BoxSerialNo:6/10", "1400 2700 BoxSerialNo:7/10"},
         {"L 400 400 6", "L 1500 400 9", "L 400 1600 12", "L 1500 1600 15", "L 400 2800 18",
          "L 1500 2800 21"}},
        // Boxes without a record row get their label without a figure.
        {"19",
         "22",
         {"300 300 BoxSerialNo:19/10", "1400 300 BoxSerialNo:20/10", "300 1500 BoxSerialNo:21/10",
          "1400 1500 BoxSerialNo:22/10"},
         {"L 400 400 57", "L 1500 400 60", "L 400 1600 ", "L 1500 1600 "}},
        // A single box: the top-left label alone.
        {"7", "7", {"300 300 BoxSerialNo:7/10"}, {"L 400 400 21"}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " to " + c.end);
        PrintPage(c.start, c.end);
        const std::vector<std::string> drawn = Drawn();
        std::vector<std::string> boxLines, figures;
        for (const std::string& d : drawn) {
            if (d.find("BoxSerialNo") != std::string::npos) boxLines.push_back(d);
            if (d.rfind("L ", 0) == 0) figures.push_back(d);
        }
        EXPECT_EQ(boxLines, c.boxLines);
        EXPECT_EQ(figures, c.figures);
        EXPECT_EQ(drawn.size(), 7 * c.boxLines.size());
        EXPECT_FALSE(dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->IsWindowEnabled());
    }
}

// An end before the start: one blank page, the job still started and ended.
TEST_F(PrintHandlersTest, EndBeforeStartPrintsOneBlankPage) {
    AddRecords(5);
    PrintPage("5", "4");
    const std::vector<std::string> expected = {
        "StartDoc printer", "StartPage", "SaveState", "UseLargeFont",
        "RestoreState",     "EndPage",   "EndDoc"};
    EXPECT_EQ(printer.calls, expected);
}

// The figure of a page label is found by position (row m_recordNumber - n):
// after the record number was reset while older rows stayed, a box yields
// another record's figure, or none outside the list.
TEST_F(PrintHandlersTest, FigureIsFoundByRowPosition) {
    AddRecords(5);  // rows: 15 12 9 6 3
    dlg.m_recordNumber = 2;
    EXPECT_EQ(dlg.GetBoxCardCount(2), "15");
    EXPECT_EQ(dlg.GetBoxCardCount(1), "12");
    EXPECT_EQ(dlg.GetBoxCardCount(-2), "3");
    EXPECT_EQ(dlg.GetBoxCardCount(3), "");
    EXPECT_EQ(dlg.GetBoxCardCount(-3), "");
}

struct NoPrintCase {
    const char* what;
    std::string entry;
    bool createFails;
    bool dcCreated;
};

// No default printer, an entry short of a field, or a device context that
// cannot be made: the operator is told, nothing is printed, and both ways
// leave the button disabled.
TEST_F(PrintHandlersTest, NoPrinterIsToldAndNothingPrinted) {
    const NoPrintCase cases[] = {
        {"no queue", ",,,", false, false},
        {"two fields", "Labels,cups", false, false},
        {"blank entry", "", false, false},
        {"no device context", "Gone,cups,spool", true, true},
    };
    for (const NoPrintCase& c : cases) {
        for (int button : {IDC_PRINT_SINGLE, IDC_PRINT_ONE_PAGE}) {
            SCOPED_TRACE(std::string(c.what) + " " + std::to_string(button));
            printer.entry = c.entry;
            printer.createFails = c.createFails;
            printer.created.clear();
            printer.calls.clear();
            dialogs.shown.clear();
            dlg.GetDlgItem(button)->EnableWindow(TRUE);
            dlg.SendCommand(button);
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, "No default Printer,or not install Printer!");
            EXPECT_EQ(dialogs.shown[0].caption, "Note");
            EXPECT_EQ(dialogs.shown[0].type, static_cast<UINT>(MB_OK));
            EXPECT_EQ(printer.created.size(), c.dcCreated ? 1u : 0u);
            EXPECT_TRUE(printer.calls.empty());
            EXPECT_FALSE(PrintButtonsEnabled());
        }
    }
}

// A job the spooler will not start: nothing more is done, nothing said.
TEST_F(PrintHandlersTest, JobThatCannotStartPrintsNothing) {
    printer.failStartDoc = true;
    dlg.GetDlgItem(IDC_PRINT_SINGLE)->EnableWindow(TRUE);
    dlg.SendCommand(IDC_PRINT_SINGLE);
    EXPECT_EQ(printer.calls, std::vector<std::string>{"StartDoc printer"});
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(PrintButtonsEnabled());
}

// A field the exchange rejects shows its message, and the label is not
// printed with the values from before.
TEST_F(PrintHandlersTest, RejectedFieldStopsThePrint) {
    AddRecords(3);
    PrintPage("one", "3");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"请输入一个正整数。"});
    EXPECT_TRUE(printer.created.empty());
    EXPECT_FALSE(PrintButtonsEnabled());

    dialogs.shown.clear();
    dlg.GetDlgItem(IDC_PRINT_SINGLE)->EnableWindow(TRUE);
    dlg.SendCommand(IDC_PRINT_SINGLE);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"请输入一个正整数。"});
    EXPECT_TRUE(printer.created.empty());
    EXPECT_FALSE(PrintButtonsEnabled());
}

// What the operator typed into Card Count is the large figure of the
// single label.
TEST_F(PrintHandlersTest, SingleLabelTakesTheTypedCardCount) {
    dlg.m_cardCount = "1";
    dlg.SetDlgItemText(IDC_CARD_COUNT, "999");
    dlg.SendCommand(IDC_PRINT_SINGLE);
    ASSERT_GE(Drawn().size(), 7u);
    EXPECT_EQ(Drawn().back(), "L 400 400 999");
}

}  // namespace
