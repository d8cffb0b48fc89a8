// The words of a PDF with their boxes, as pdftotext -bbox (poppler) reads
// them: an independent reader, so the tests see what a printer's
// interpreter would place, not what our code meant to place.
#pragma once

#include <string>
#include <vector>

namespace tallyprint_test {

struct PdfWord {
    int page = 0;  // from 1
    std::string text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points from the top left
};

struct PdfText {
    int pages = 0;
    double pageWidth = 0, pageHeight = 0;  // points, of the first page
    std::vector<PdfWord> words;

    // The first word reading `text`, or null.
    const PdfWord* Find(const std::string& text) const;
};

// Path of pdftotext, or empty when poppler-utils is not installed.
std::string PdftotextPath();

// Reads `pdfPath` with pdftotext -bbox. False with a reason in `why` when
// pdftotext fails.
bool ReadPdfWords(const std::string& pdfPath, PdfText* out, std::string* why);

}  // namespace tallyprint_test
