#include "time_text.h"

#include <cstdio>

std::string CurrentTimeString(const std::tm& local) {
    // Year and month are offset in long long so that a std::tm holding odd
    // members near the int limits still formats without overflow.
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02d %02d:%02d:%02d", local.tm_year + 1900LL,
                  local.tm_mon + 1LL, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string DateOfTimeString(const std::string& stamp) { return stamp.substr(0, 10); }

namespace {
// Characters [first, first + count) of text, cut to what exists.
std::string Piece(const std::string& text, std::size_t first, std::size_t count) {
    if (first >= text.size()) return std::string();
    return text.substr(first, count);
}
}  // namespace

std::string RecordDateText(const std::string& stamp) {
    return Piece(stamp, 8, 2) + "/" + Piece(stamp, 5, 2) + "/" + Piece(stamp, 0, 4);
}

std::string RecordTimeText(const std::string& stamp) {
    if (stamp.size() <= 8) return stamp;
    return stamp.substr(stamp.size() - 8);
}
