#include "palette.h"

#include <initializer_list>

namespace automation {

namespace {

constexpr std::uint32_t kDefaultPalette[kPaletteSize] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,  // 1-8
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,  // 9-16
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,  // 17-24
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,  // 25-32
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,  // 33-40
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,  // 41-48
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,  // 49-56
};

}  // namespace

std::uint32_t PaletteRgb(int colorIndex) {
    if (colorIndex < 1 || colorIndex > kPaletteSize) return 0;
    return kDefaultPalette[colorIndex - 1];
}

int NearestColorIndex(std::uint32_t rgb) {
    const auto channel = [](std::uint32_t c, int shift) {
        return static_cast<int>((c >> shift) & 0xFF);
    };
    int best = 1;
    long bestDistance = -1;
    for (int i = 0; i < kPaletteSize; ++i) {
        long distance = 0;
        for (int shift : {16, 8, 0}) {
            const long d = channel(rgb, shift) - channel(kDefaultPalette[i], shift);
            distance += d * d;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i + 1;
        }
    }
    return best;
}

std::uint32_t ColorValueToRgb(std::uint32_t colorValue) {
    return ((colorValue & 0xFF) << 16) | (colorValue & 0xFF00) | ((colorValue >> 16) & 0xFF);
}

std::uint32_t RgbToColorValue(std::uint32_t rgb) { return ColorValueToRgb(rgb); }

}  // namespace automation
