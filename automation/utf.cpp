#include "utf.h"

#include <cstdint>

namespace automation {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[*pos], advancing *pos past it; malformed
// input (bad lead, truncated, overlong, surrogate, beyond U+10FFFF) yields
// U+FFFD and advances by one byte.
char32_t DecodeOne(const std::string& text, std::size_t* pos) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::size_t i = *pos;
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        *pos = i + 1;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        *pos = i + 1;
        return kReplacement;
    }
    if (i + length > text.size()) {
        *pos = i + 1;
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        const std::uint8_t next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            *pos = i + 1;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        *pos = i + 1;
        return kReplacement;
    }
    *pos = i + length;
    return cp;
}

void AppendUtf8(char32_t cp, std::string* out) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<std::uint8_t>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string SanitizeUtf8(const std::string& text) {
    if (IsAscii(text)) return text;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) AppendUtf8(DecodeOne(text, &pos), &out);
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = DecodeOne(text, &pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::size_t Utf16Length(const std::string& text) {
    if (IsAscii(text)) return text.size();
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) units += DecodeOne(text, &pos) >= 0x10000 ? 2 : 1;
    return units;
}

}  // namespace automation
