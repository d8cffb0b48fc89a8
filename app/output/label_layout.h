// Box labels: where each text of the single label and of the six-label page
// goes, drawn onto a device context given as an interface, so the printer
// and a recording context in the tests run the same layout.
//
// Positions are printer dots from the top left of the printable area; a
// text is placed by its top-left corner.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class LabelCanvas {
  public:
    virtual ~LabelCanvas() = default;
    // Draws text with its top-left corner at (x, y) in the current font.
    virtual void DrawText(int x, int y, const std::string& text) = 0;
    // Selects the large font: the default GUI font in bold (weight 700) with
    // a cell height of 100 dots. Until then the context's default font is used.
    virtual void UseLargeFont() = 0;
};

// The main window's texts that go onto a label.
struct LabelFields {
    std::string customerId;
    std::string productBatch;
    std::string boxNum;    // box number of the single label
    std::string boxCount;  // after the "/" behind the box number
    std::string operatorText;
    std::string cardCount;       // large figure of the single label
    std::string lastRecordDate;  // DD/MM/YYYY
    std::string lastRecordTime;  // HH:MM:SS
};

// Draws the single label: six lines in the default font, then the card count
// in the large font at (400, 400).
void PaintSingleLabel(LabelCanvas& canvas, const LabelFields& fields);

// Card count of a box number: the trimmed SINGLE QUANTITY text of its row,
// or blank when there is no such row.
using BoxCardCount = std::function<std::string(std::int32_t boxNumber)>;

// Draws the page of labels for boxes start to end: at most six, two across
// and three down; none when end is before start. All texts in the default
// font first, then every large figure. Returns the number of labels drawn.
int PaintLabelPage(LabelCanvas& canvas, const LabelFields& fields, std::uint32_t start,
                   std::uint32_t end, const BoxCardCount& cardCountOfBox);

// Number of labels on a page for the range start..end: end - start + 1 as a
// signed count (done in 64 bits, so no range wraps round), at most 6, and 0
// when end is before start.
int LabelCountOfRange(std::uint32_t start, std::uint32_t end);

// The record list holds the newest record in row 0, so box n lies in row
// recordNumber - n. Returns that row, or -1 when it falls outside rowCount rows.
int BoxRow(std::int32_t recordNumber, std::int32_t boxNumber, int rowCount);

// The default printer entry "<name>,<driver>,<port>", as the profile gives it.
struct PrinterEntry {
    std::string device;
    std::string driver;
    std::string port;
};

// Splits a printer entry at commas, a run of commas counting as one
// separator, after cutting it at 79 characters. False when any of the three
// fields is missing (",,," for no printer); the window then reports
// "No default Printer,or not install Printer!".
bool ParsePrinterEntry(const std::string& entry, PrinterEntry& out);
