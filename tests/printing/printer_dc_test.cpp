// The device context drawing into a PDF file at a printer's resolution:
// placement, fonts and the job's page sequence, read back by pdftotext.
#include "printer_dc.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <memory>

#include "label_prints.h"
#include "pdf_words.h"

namespace tallyprint_test {
namespace {

using tallyprint::PrinterDC;

// A 300-dpi A4 "printer" whose printable area is the whole page, like the
// queue of the CUPS tests.
std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setResolution(300);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setFullPage(true);
    return printer;
}

#define READ_PDF_OR_SKIP(path, pdf)                                       \
    do {                                                                  \
        if (PdftotextPath().empty()) {                                    \
            GTEST_SKIP() << "pdftotext is not installed (poppler-utils)"; \
        }                                                                 \
        std::string why;                                                  \
        ASSERT_TRUE(ReadPdfWords(path, &pdf, &why)) << why;               \
    } while (0)

TEST(PrinterDcFont, LargeFontIsTheGuiFaceBoldWithA100DotCell) {
    const QFont large = PrinterDC::LargeFont();
    EXPECT_EQ(large.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_EQ(large.weight(), 700);
    const QFontMetricsF metrics(large);
    const double cell = metrics.ascent() + metrics.descent();
    // The largest size whose cell fits: within one pixel size of 100.
    EXPECT_LE(cell, 100.0);
    EXPECT_GT(cell, 97.0);
}

TEST(PrinterDcPdf, SingleLabelTextsSitAtTheirDotsByTheirTopLeftCorner) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("label.pdf");
    PrinterDC dc(PdfPrinter(path));
    EXPECT_EQ(dc.Resolution(), 300);
    ASSERT_TRUE(PrintSingleLabel(dc));

    PdfText pdf;
    READ_PDF_OR_SKIP(path.toStdString(), pdf);
    ExpectPage(pdf, 300, SingleLabelTexts());
}

TEST(PrinterDcPdf, JobDrawsOnlyInsideStartedPages) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("pages.pdf");
    PrinterDC dc(PdfPrinter(path));
    EXPECT_FALSE(dc.StartPage()) << "no job yet";
    EXPECT_FALSE(dc.EndDoc()) << "no job yet";

    ASSERT_TRUE(dc.StartDoc("printer"));
    EXPECT_FALSE(dc.StartDoc("printer")) << "a job is already open";
    dc.DrawText(100, 100, "BeforeAnyPage");
    ASSERT_TRUE(dc.StartPage());
    EXPECT_FALSE(dc.StartPage()) << "the page is already open";
    dc.DrawText(100, 100, "First");
    ASSERT_TRUE(dc.EndPage());
    dc.DrawText(100, 200, "BetweenPages");
    ASSERT_TRUE(dc.StartPage());
    dc.DrawText(100, 100, "Second");
    dc.RestoreState();  // unmatched: ignored
    // EndDoc closes the open page.
    ASSERT_TRUE(dc.EndDoc());

    PdfText pdf;
    READ_PDF_OR_SKIP(path.toStdString(), pdf);
    EXPECT_EQ(pdf.pages, 2);
    ASSERT_NE(pdf.Find("First"), nullptr);
    EXPECT_EQ(pdf.Find("First")->page, 1);
    ASSERT_NE(pdf.Find("Second"), nullptr);
    EXPECT_EQ(pdf.Find("Second")->page, 2);
    EXPECT_EQ(pdf.Find("BeforeAnyPage"), nullptr);
    EXPECT_EQ(pdf.Find("BetweenPages"), nullptr);
}

}  // namespace
}  // namespace tallyprint_test
