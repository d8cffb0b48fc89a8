#include "single_label.h"

#include <gtest/gtest.h>

namespace tallyprint_test {
namespace {

// pdftotext measures a word from its first glyph's origin and the font's
// ascent, as Qt does; allow a dot or two for rounding to PDF units.
constexpr double kToleranceDots = 2.5;

}  // namespace

bool PrintSingleLabel(tallyprint::PrinterDC& dc) {
    if (!dc.StartDoc("printer")) {
        return false;
    }
    dc.StartPage();
    dc.SaveState();
    for (const LabelLine& line : kLabelLines) {
        dc.DrawText(line.x, line.y, line.text);
    }
    dc.UseLargeFont();
    dc.DrawText(kLabelFigure.x, kLabelFigure.y, kLabelFigure.text);
    dc.RestoreState();
    dc.EndPage();
    return dc.EndDoc();
}

void ExpectSingleLabel(const PdfText& pdf, int dotsPerInch) {
    ASSERT_EQ(pdf.pages, 1);
    const double dots = dotsPerInch / 72.0;  // per PDF point

    double previousTop = -1;
    double defaultCell = 0;
    for (const LabelLine& line : kLabelLines) {
        SCOPED_TRACE(line.text);
        const PdfWord* word = pdf.Find(line.text);
        ASSERT_NE(word, nullptr);
        EXPECT_EQ(word->page, 1);
        EXPECT_NEAR(word->xMin * dots, line.x, kToleranceDots);
        EXPECT_NEAR(word->yMin * dots, line.y, kToleranceDots);
        EXPECT_GT(word->yMin, previousTop);
        previousTop = word->yMin;
        defaultCell = (word->yMax - word->yMin) * dots;
        // The default font is an ordinary text size: well below the
        // 100-dot line spacing, so lines never run into each other.
        EXPECT_GT(defaultCell, 10);
        EXPECT_LT(defaultCell, 90);
    }

    const PdfWord* figure = pdf.Find(kLabelFigure.text);
    ASSERT_NE(figure, nullptr);
    EXPECT_NEAR(figure->xMin * dots, kLabelFigure.x, kToleranceDots);
    EXPECT_NEAR(figure->yMin * dots, kLabelFigure.y, kToleranceDots);
    // The large figure's cell is 100 dots high and sits between the box
    // line and the operator line without touching either.
    EXPECT_NEAR((figure->yMax - figure->yMin) * dots, 100, kToleranceDots);
    const PdfWord* box = pdf.Find("BoxSerialNo.:3/10");
    const PdfWord* op = pdf.Find("Operator:张三");
    ASSERT_TRUE(box != nullptr && op != nullptr);
    EXPECT_GT(figure->yMin, box->yMax);
    EXPECT_LT(figure->yMax, op->yMin);
}

}  // namespace tallyprint_test
