// The spreadsheet program's default colour palette of 56 colours.
//
// Automation numbers them 1 to 56 (ColorIndex); the binary file format keeps
// the same colours at palette indexes 8 to 63 (indexes 0 to 7 repeat the
// first eight, 64 and 65 are the system's window text and background). So
// ColorIndex 11, navy 000080, is stored as palette index 18.
#pragma once

#include <cstdint>

namespace automation {

constexpr int kPaletteSize = 56;
// First palette index in the file format that holds ColorIndex 1.
constexpr int kPaletteFileBase = 8;

// 0xRRGGBB of ColorIndex 1..56; 0 for an index outside that range.
std::uint32_t PaletteRgb(int colorIndex);

// The ColorIndex (1..56) whose colour is closest to 0xRRGGBB; an exact match
// wins, ties go to the lower index.
int NearestColorIndex(std::uint32_t rgb);

// A colour value as automation passes it (0x00BBGGRR, red in the low byte)
// turned into 0xRRGGBB.
std::uint32_t ColorValueToRgb(std::uint32_t colorValue);
std::uint32_t RgbToColorValue(std::uint32_t rgb);

}  // namespace automation
