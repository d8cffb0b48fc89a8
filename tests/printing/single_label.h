// One single box label, drawn through a device context in the order and at
// the dots the print handler uses, and the checks of how it reads back from
// the printed PDF.
#pragma once

#include "pdf_words.h"
#include "printer_dc.h"

namespace tallyprint_test {

struct LabelLine {
    int x, y;  // dots
    const char* text;
};

// The six lines in the default font, top to bottom, then the large figure.
inline constexpr LabelLine kLabelLines[] = {
    {300, 100, "CustomerID:C01"},       {300, 200, "ProductBatch:PB-7"},
    {300, 300, "BoxSerialNo.:3/10"},    {300, 600, "Operator:张三"},
    {300, 700, "PrintDate:11/12/2026"}, {300, 800, "PrintTime:08:30:05"},
};
inline constexpr LabelLine kLabelFigure = {400, 400, "1234"};

// StartDoc("printer") … EndDoc, one page. False when the job did not start.
bool PrintSingleLabel(tallyprint::PrinterDC& dc);

// Checks the label on page 1 of `pdf`, printed at `dotsPerInch` with the
// printable area starting at the page's top left.
void ExpectSingleLabel(const PdfText& pdf, int dotsPerInch);

}  // namespace tallyprint_test
