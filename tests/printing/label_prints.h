// Box labels printed through a device context the way the print handlers
// print them (the program's label layouts on a DeviceLabelCanvas, inside
// StartDoc("printer") … EndDoc), and what a PDF reader must find on the
// page afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_context.h"
#include "pdf_words.h"

namespace tallyprint_test {

// A text the page must show, its cell's top-left corner at (x, y) dots.
struct PlacedText {
    int x, y;
    std::string text;
    bool large;  // in the large font
};

// The single label of the test fields.
bool PrintSingleLabel(tallyprint::DeviceContext& dc);
std::vector<PlacedText> SingleLabelTexts();

// The page of labels for boxes start..end of the test fields; box 18 has no
// record row, every other box n counts 3n cards.
bool PrintLabelPage(tallyprint::DeviceContext& dc, std::uint32_t start, std::uint32_t end);
std::vector<PlacedText> LabelPageTexts(std::uint32_t start, std::uint32_t end);

// Checks that page 1 of a one-page `pdf` printed at `dotsPerInch` (printable
// area from the page's top left) shows exactly `texts`, each at its place
// and in its font size.
void ExpectPage(const PdfText& pdf, int dotsPerInch, const std::vector<PlacedText>& texts);

}  // namespace tallyprint_test
