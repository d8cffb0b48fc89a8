// Print Single and Print One Page of the real window, through the real
// printer seam, to the default queue of a CUPS scheduler of the test's own;
// the job is read back from the spool as the scheduler received it and its
// words are found at their places with pdftotext -bbox. Skipped where the
// scheduler cannot run.
#include <QApplication>
#include <QFile>
#include <algorithm>

#include "app/resource.h"
#include "label_prints.h"
#include "main_window_fixture.h"
#include "pdf_words.h"
#include "private_cupsd.h"

namespace {

using tallyprint_test::ExpectPage;
using tallyprint_test::LabelPageTexts;
using tallyprint_test::PdfText;
using tallyprint_test::PdfWord;
using tallyprint_test::PrivateCupsd;
using tallyprint_test::SingleLabelTexts;

std::string ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

class CupsWindowPrintTest : public MainWindowTest {
  protected:
    // The window holds the texts the printing layer's own label tests
    // expect, so their expected pages serve here too.
    void FillFields(CMytallydeskDlg& dlg) {
        dlg.SetDlgItemText(IDC_CUSTOMER_ID, "C01");
        dlg.SetDlgItemText(IDC_PRODUCT_BATCH, "PB-7");
        dlg.SetDlgItemText(IDC_BOX_NUM, "3");
        dlg.SetDlgItemText(IDC_BOX_COUNT, "10");
        dlg.SetDlgItemText(IDC_OPERATOR, "张三");
        dlg.SetDlgItemText(IDC_CARD_COUNT, "1234");
        dlg.m_lastRecordDate = "11/12/2026";
        dlg.m_lastRecordTime = "08:30:05";
    }

    // Starts the scheduler with a default queue; false (with the reason)
    // where it cannot run.
    bool StartPrinter(std::string* why) {
        if (!cupsd.Start(why)) return false;
        if (!cupsd.AddQueue("TestPdf", true, why)) return false;
        return true;
    }

    // The one document the job left in the spool, read back.
    void ReadTheJob(PdfText* pdf) {
        std::string why;
        ASSERT_TRUE(cupsd.WaitUntilJobsDone(120000, &why)) << why;
        const std::vector<std::string> documents = cupsd.SpooledDocuments();
        ASSERT_EQ(documents.size(), 1u) << cupsd.LogTail();
        // The job carries the document name "printer" (IPP name tag,
        // 2-byte lengths) in its control file.
        const std::string jobName = std::string("\x42\x00\x08job-name\x00\x07printer", 20);
        EXPECT_NE(ReadAll(cupsd.ControlFileOf(documents[0])).find(jobName), std::string::npos);
        ASSERT_TRUE(tallyprint_test::ReadPdfWords(documents[0], pdf, &why)) << why;
    }

    PrivateCupsd cupsd;
};

#define START_OR_SKIP()                                                                     \
    do {                                                                                    \
        std::string why;                                                                    \
        if (!StartPrinter(&why)) GTEST_SKIP() << "no private CUPS scheduler here: " << why; \
        if (tallyprint_test::PdftotextPath().empty())                                       \
            GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";                   \
    } while (0)

TEST_F(CupsWindowPrintTest, PrintSingleReachesTheDefaultQueue) {
    START_OR_SKIP();
    CMytallydeskDlg dlg;
    dlg.Create();
    FillFields(dlg);
    dlg.GetDlgItem(IDC_PRINT_SINGLE)->EnableWindow(TRUE);
    dlg.SendCommand(IDC_PRINT_SINGLE);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    EXPECT_FALSE(dlg.GetDlgItem(IDC_PRINT_SINGLE)->IsWindowEnabled());
    dlg.DestroyWindow();

    PdfText pdf;
    ReadTheJob(&pdf);
    if (HasFatalFailure()) return;
    ExpectPage(pdf, 300, SingleLabelTexts());
    // Read from the top down, the label gives its lines in this order,
    // the large figure between the box line and the operator.
    std::vector<PdfWord> words = pdf.words;
    std::sort(words.begin(), words.end(),
              [](const PdfWord& a, const PdfWord& b) { return a.yMin < b.yMin; });
    std::vector<std::string> order;
    for (const PdfWord& w : words) order.push_back(w.text);
    const std::vector<std::string> expected = {
        "CustomerID:C01", "ProductBatch:PB-7",    "BoxSerialNo.:3/10", "1234",
        "Operator:张三",  "PrintDate:11/12/2026", "PrintTime:08:30:05"};
    EXPECT_EQ(order, expected);
}

// Boxes 15 to 22 asked for: boxes 15 to 20 fill the page; box 18's row holds
// no quantity, so its label has no figure.
TEST_F(CupsWindowPrintTest, PrintOnePageReachesTheDefaultQueue) {
    START_OR_SKIP();
    CMytallydeskDlg dlg;
    dlg.Create();
    FillFields(dlg);
    for (int k = 1; k <= 20; ++k) {
        dlg.m_list.InsertItem(0, std::to_string(k));
        dlg.m_list.SetItemText(0, 1, k == 18 ? " " : std::to_string(3 * k));
    }
    dlg.m_recordNumber = 20;
    dlg.SetDlgItemText(IDC_PRINT_START_BOX_NUM, "15");
    dlg.SetDlgItemText(IDC_PRINT_END_BOX_NUM, "22");
    dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->EnableWindow(TRUE);
    dlg.SendCommand(IDC_PRINT_ONE_PAGE);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    EXPECT_FALSE(dlg.GetDlgItem(IDC_PRINT_ONE_PAGE)->IsWindowEnabled());
    dlg.DestroyWindow();

    PdfText pdf;
    ReadTheJob(&pdf);
    if (HasFatalFailure()) return;
    ExpectPage(pdf, 300, LabelPageTexts(15, 20));
}

// Without a default queue the operator is told, and nothing is spooled.
TEST_F(CupsWindowPrintTest, NoDefaultQueueIsTold) {
    std::string why;
    if (!cupsd.Start(&why)) GTEST_SKIP() << "no private CUPS scheduler here: " << why;
    CMytallydeskDlg dlg;
    dlg.Create();
    FillFields(dlg);
    dlg.SendCommand(IDC_PRINT_SINGLE);
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{"No default Printer,or not install Printer!"});
    EXPECT_TRUE(cupsd.SpooledDocuments().empty());
    dlg.DestroyWindow();
}

}  // namespace

// The CUPS client is pointed at the tests' own scheduler before anything
// asks for a printer: the client library keeps the first server it used.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tallyprint_test::UsePrivateCupsServer();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
