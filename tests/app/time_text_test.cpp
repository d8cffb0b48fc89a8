// Time stamps of the record rows and the date and time taken from them.
#include "time_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

namespace {

TEST(TimeText, CurrentTimeStringFormat) {
    std::tm t{};
    t.tm_year = 2014 - 1900;
    t.tm_mon = 7;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    const std::string stamp = CurrentTimeString(t);
    EXPECT_EQ(stamp, "2014-08-10 09:05:03");
    EXPECT_EQ(DateOfTimeString(stamp), "2014-08-10");
    EXPECT_EQ(RecordDateText(stamp), "10/08/2014");
    EXPECT_EQ(RecordTimeText(stamp), "09:05:03");

    // Odd members near the limits still give a defined text.
    t.tm_year = INT_MAX;
    t.tm_mon = INT_MAX;
    EXPECT_EQ(CurrentTimeString(t), "2147485547-2147483648-10 09:05:03");
}

TEST(TimeText, ShortOrOddTextsGiveDefinedPieces) {
    const struct {
        const char* stamp;
        const char* date;
        const char* time;
        const char* day;
    } cases[] = {
        {"", "//", "", ""},
        {"2014", "//2014", "2014", "2014"},
        {"2014-08-1", "1/08/2014", "014-08-1", "2014-08-1"},
        {"2014-08-10", "10/08/2014", "14-08-10", "2014-08-10"},
        {"2014-08-10 09:05:03 extra", "10/08/2014", "03 extra", "2014-08-10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordDateText(c.stamp), c.date) << '"' << c.stamp << '"';
        EXPECT_EQ(RecordTimeText(c.stamp), c.time) << '"' << c.stamp << '"';
        EXPECT_EQ(DateOfTimeString(c.stamp), c.day) << '"' << c.stamp << '"';
    }
}

}  // namespace
