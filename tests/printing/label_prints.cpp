#include "label_prints.h"

#include <gtest/gtest.h>

#include <cmath>

#include "label_canvas.h"
#include "output/label_layout.h"

namespace tallyprint_test {
namespace {

// pdftotext measures a word from its first glyph's origin and the font's
// ascent, as Qt does; a dot or two is left for rounding to PDF units.
constexpr double kToleranceDots = 2.5;

LabelFields TestFields() {
    LabelFields fields;
    fields.customerId = "C01";
    fields.productBatch = "PB-7";
    fields.boxNum = "3";
    fields.boxCount = "10";
    fields.operatorText = "张三";  // typed text reaches the printer as UTF-8
    fields.cardCount = "1234";
    fields.lastRecordDate = "11/12/2026";
    fields.lastRecordTime = "08:30:05";
    return fields;
}

std::string CardsOfBox(std::int32_t box) { return box == 18 ? "" : std::to_string(3 * box); }

template <class Paint>
bool PrintOnePage(tallyprint::DeviceContext& dc, Paint paint) {
    if (!dc.StartDoc("printer")) {
        return false;
    }
    dc.StartPage();
    dc.SaveState();
    tallyprint::DeviceLabelCanvas canvas(dc);
    paint(canvas);
    dc.RestoreState();
    dc.EndPage();
    return dc.EndDoc();
}

}  // namespace

bool PrintSingleLabel(tallyprint::DeviceContext& dc) {
    return PrintOnePage(dc, [](LabelCanvas& canvas) { PaintSingleLabel(canvas, TestFields()); });
}

std::vector<PlacedText> SingleLabelTexts() {
    return {
        {300, 100, "CustomerID:C01", false},
        {300, 200, "ProductBatch:PB-7", false},
        {300, 300, "BoxSerialNo.:3/10", false},
        {300, 600, "Operator:张三", false},
        {300, 700, "PrintDate:11/12/2026", false},
        {300, 800, "PrintTime:08:30:05", false},
        {400, 400, "1234", true},
    };
}

bool PrintLabelPage(tallyprint::DeviceContext& dc, std::uint32_t start, std::uint32_t end) {
    return PrintOnePage(dc, [&](LabelCanvas& canvas) {
        PaintLabelPage(canvas, TestFields(), start, end, CardsOfBox);
    });
}

std::vector<PlacedText> LabelPageTexts(std::uint32_t start, std::uint32_t end) {
    std::vector<PlacedText> texts;
    for (std::uint32_t box = start, k = 0; box <= end && k < 6; ++box, ++k) {
        const int x = k % 2 == 0 ? 300 : 1400;
        const int b = 200 + 1200 * static_cast<int>(k / 2);
        texts.push_back({x, b - 100, "CustomerID:C01", false});
        texts.push_back({x, b, "ProductBatch:PB-7", false});
        texts.push_back({x, b + 100, "BoxSerialNo:" + std::to_string(box) + "/10", false});
        texts.push_back({x, b + 400, "Operator:张三", false});
        texts.push_back({x, b + 500, "PrintDate:11/12/2026", false});
        texts.push_back({x, b + 600, "PrintTime:08:30:05", false});
        const std::string cards = CardsOfBox(static_cast<std::int32_t>(box));
        if (!cards.empty()) {
            texts.push_back({x + 100, b + 200, cards, true});
        }
    }
    return texts;
}

void ExpectPage(const PdfText& pdf, int dotsPerInch, const std::vector<PlacedText>& texts) {
    ASSERT_EQ(pdf.pages, 1);
    const double dots = dotsPerInch / 72.0;  // per PDF point
    // Nothing more is printed than expected (no seventh label, no stray text).
    EXPECT_EQ(pdf.words.size(), texts.size());
    for (const PlacedText& expected : texts) {
        SCOPED_TRACE(expected.text + " at " + std::to_string(expected.x) + "," +
                     std::to_string(expected.y));
        const PdfWord* found = nullptr;
        for (const PdfWord& word : pdf.words) {
            if (word.text == expected.text &&
                std::fabs(word.xMin * dots - expected.x) <= kToleranceDots &&
                std::fabs(word.yMin * dots - expected.y) <= kToleranceDots) {
                found = &word;
            }
        }
        ASSERT_NE(found, nullptr) << "not found at its place";
        const double cell = (found->yMax - found->yMin) * dots;
        if (expected.large) {
            EXPECT_NEAR(cell, 100, kToleranceDots);
        } else {
            // An ordinary text size, well inside the 100-dot line spacing.
            EXPECT_GT(cell, 10);
            EXPECT_LT(cell, 90);
        }
    }
}

}  // namespace tallyprint_test
