// The printing layer against a real CUPS scheduler of the test's own: the
// default printer entry, and a label printed to the default queue, read back
// from the spool exactly as the scheduler received it.
#include <gtest/gtest.h>

#include <QFile>
#include <string>

#include "default_printer.h"
#include "label_prints.h"
#include "pdf_words.h"
#include "printer_dc.h"
#include "private_cupsd.h"

namespace tallyprint_test {
namespace {

using tallyprint::DefaultPrinterEntry;
using tallyprint::GetDefaultPrinterEntry;
using tallyprint::PrinterDC;

#define START_OR_SKIP(cupsd)                                           \
    do {                                                               \
        std::string why;                                               \
        if (!(cupsd).Start(&why)) {                                    \
            GTEST_SKIP() << "no private CUPS scheduler here: " << why; \
        }                                                              \
    } while (0)

#define ADD_QUEUE(cupsd, name, makeDefault)                            \
    do {                                                               \
        std::string why;                                               \
        ASSERT_TRUE((cupsd).AddQueue(name, makeDefault, &why)) << why; \
    } while (0)

std::string EntryIn80() {
    char buffer[80];
    GetDefaultPrinterEntry(buffer, sizeof buffer);
    return buffer;
}

std::string ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

TEST(CupsDefaultPrinter, EntryIsThreeEmptyFieldsWithoutAnyQueue) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);
    EXPECT_EQ(DefaultPrinterEntry(), ",,,");
    EXPECT_EQ(EntryIn80(), ",,,");
    EXPECT_EQ(PrinterDC::Create("cups", "TestPdf", "spool"), nullptr);
}

TEST(CupsDefaultPrinter, EntryNamesTheDefaultQueueAndIsCutAt79In80Characters) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);

    ADD_QUEUE(cupsd, "TestPdf", false);
    EXPECT_EQ(DefaultPrinterEntry(), ",,,") << "a queue that is not the default";

    ADD_QUEUE(cupsd, "OtherQueue", true);
    EXPECT_EQ(DefaultPrinterEntry(), "OtherQueue,cups,spool");
    EXPECT_EQ(EntryIn80(), "OtherQueue,cups,spool");

    // Queue names may run to 127 characters; the entry is then longer than
    // the 79 characters a caller's buffer keeps.
    const std::string longName = "Label_Printer_" + std::string(86, 'x');
    ADD_QUEUE(cupsd, longName, true);
    const std::string entry = longName + ",cups,spool";
    EXPECT_EQ(DefaultPrinterEntry(), entry);
    EXPECT_EQ(EntryIn80(), entry.substr(0, 79));
}

TEST(CupsDefaultPrinter, UsersOwnDefaultInstanceWinsAndDrawsAtItsQueuesResolution) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);
    ADD_QUEUE(cupsd, "TestPdf", true);
    ADD_QUEUE(cupsd, "Labels", false);
    // A queue set to print at 600 dpi: its device context counts 600 dots
    // to the inch.
    std::string output;
    ASSERT_TRUE(cupsd.RunTool("lpadmin", {"-p", "Labels", "-o", "Resolution=600dpi"}, &output))
        << output;
    // The user's choice (lpoptions) may name an instance of a queue.
    ASSERT_TRUE(cupsd.RunTool("lpoptions", {"-p", "Labels/wide", "-o", "media=A4"}, &output))
        << output;
    ASSERT_TRUE(cupsd.RunTool("lpoptions", {"-d", "Labels/wide"}, &output)) << output;
    EXPECT_EQ(DefaultPrinterEntry(), "Labels/wide,cups,spool");
    auto dc = PrinterDC::Create("cups", "Labels/wide", "spool");
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dc->Resolution(), 600);
}

TEST(CupsPrint, LabelReachesTheSpoolAsPdfWithItsTextsInPlace) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);
    ADD_QUEUE(cupsd, "TestPdf", true);

    // The way the handlers go: entry, its fields, a device context.
    const std::string entry = DefaultPrinterEntry();
    ASSERT_EQ(entry, "TestPdf,cups,spool");
    auto dc = PrinterDC::Create("cups", "TestPdf", "spool");
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(PrinterDC::Create("cups", "NoSuchQueue", "spool"), nullptr);
    EXPECT_EQ(dc->Resolution(), 300) << "the queue's own resolution";
    ASSERT_TRUE(PrintSingleLabel(*dc));

    std::string why;
    ASSERT_TRUE(cupsd.WaitUntilJobsDone(120000, &why)) << why;
    const std::vector<std::string> documents = cupsd.SpooledDocuments();
    ASSERT_EQ(documents.size(), 1u) << cupsd.LogTail();
    EXPECT_EQ(ReadAll(documents[0]).substr(0, 5), "%PDF-");

    // The job carries the document name: in the job's attributes the
    // job-name is "printer" (IPP name tag, 2-byte lengths).
    const std::string jobName = std::string("\x42\x00\x08job-name\x00\x07printer", 20);
    EXPECT_NE(ReadAll(cupsd.ControlFileOf(documents[0])).find(jobName), std::string::npos);

    PdfText pdf;
    if (PdftotextPath().empty()) {
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    }
    ASSERT_TRUE(ReadPdfWords(documents[0], &pdf, &why)) << why;
    // The queue's driver description prints A4 with the whole page
    // printable, so dots count from the page's top left.
    EXPECT_NEAR(pdf.pageWidth, 595, 1);
    EXPECT_NEAR(pdf.pageHeight, 842, 1);
    ExpectPage(pdf, 300, SingleLabelTexts());
}

TEST(CupsPrint, QueueRejectingJobsFailsStartDocAndSpoolsNothing) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);
    ADD_QUEUE(cupsd, "TestPdf", true);
    std::string output;
    ASSERT_TRUE(cupsd.RunTool("cupsreject", {"TestPdf"}, &output)) << output;

    auto dc = PrinterDC::Create("cups", "TestPdf", "spool");
    ASSERT_NE(dc, nullptr);
    EXPECT_FALSE(dc->StartDoc("printer"));
    EXPECT_FALSE(dc->EndDoc());
    EXPECT_TRUE(cupsd.SpooledDocuments().empty());
}

TEST(CupsPrint, PageOfLabelsReachesTheSpoolWithSixLabelsInPlace) {
    PrivateCupsd cupsd;
    START_OR_SKIP(cupsd);
    ADD_QUEUE(cupsd, "TestPdf", true);

    auto dc = PrinterDC::Create("cups", "TestPdf", "spool");
    ASSERT_NE(dc, nullptr);
    // Boxes 15 to 22: only 15 to 20 fit the page; box 18 has no record.
    ASSERT_TRUE(PrintLabelPage(*dc, 15, 22));

    std::string why;
    ASSERT_TRUE(cupsd.WaitUntilJobsDone(120000, &why)) << why;
    const std::vector<std::string> documents = cupsd.SpooledDocuments();
    ASSERT_EQ(documents.size(), 1u) << cupsd.LogTail();
    if (PdftotextPath().empty()) {
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    }
    PdfText pdf;
    ASSERT_TRUE(ReadPdfWords(documents[0], &pdf, &why)) << why;
    ExpectPage(pdf, 300, LabelPageTexts(15, 20));
}

}  // namespace
}  // namespace tallyprint_test
