// Conversions between the program's UTF-8 texts and the UTF-16 that the
// binary workbook format stores.
#pragma once

#include <cstddef>
#include <string>

namespace automation {

// The text with every byte sequence that is not well-formed UTF-8 replaced by
// U+FFFD, so writers never emit broken XML or unpaired surrogates.
std::string SanitizeUtf8(const std::string& text);

// UTF-16 code units of a text (malformed bytes count as U+FFFD).
std::u16string Utf8ToUtf16(const std::string& text);

// Length in UTF-16 code units, the unit the spreadsheet program counts
// characters in (sheet name and cell text limits).
std::size_t Utf16Length(const std::string& text);

}  // namespace automation
