// The day log: a whole day's file against its reference bytes, the header
// rewrite of a restart, and lines lost silently when the file is gone.
#include "day_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "scratch_folder.h"

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// 10 August 2014 with no log folder set: START_CAPTURE at 09:05 with P_Batch
// B07 and Operator 12, one capture tick at 09:05:12 fetching 100 and 50
// (each written twice by the capture path), STOP_CAPTURE with the sum 150.
TEST(DayLog, AWholeDayMatchesTheReferenceFile) {
    ScratchFolder program;
    const DayLogPlace place = PrepareDayLogPlace("", program.folder(), "2014-08-10");
    EXPECT_EQ(place.recordFolder, program.folder() + "Record/");
    EXPECT_EQ(place.path, program.folder() + "Record/2014-08-10.log");
    ASSERT_TRUE(WriteDayLogHeader(place.path));

    EXPECT_TRUE(AppendBatchHeader(place.path, At(2014, 8, 10, 9, 5, 0), "B07", "12"));
    const std::tm tick = At(2014, 8, 10, 9, 5, 12);
    for (const char* quantity : {"100", "50"}) {
        EXPECT_TRUE(AppendValueLine(place.path, tick, quantity));
        EXPECT_TRUE(AppendValueLine(place.path, tick, quantity));
    }
    EXPECT_TRUE(AppendBatchEnd(place.path, 150));

    EXPECT_EQ(ReadBytes(place.path), ReadBytes(TALLY_GOLDEN_DIR "/2014-08-10.log"));
}

TEST(DayLog, ARestartOnTheSameDayAppendsAfterTheOldContent) {
    ScratchFolder program;
    const DayLogPlace place = PrepareDayLogPlace("", program.folder(), "2014-08-10");
    ASSERT_TRUE(WriteDayLogHeader(place.path));
    ASSERT_TRUE(AppendValueLine(place.path, At(2014, 8, 10, 9, 5, 12), "100"));
    const std::string before = ReadBytes(place.path);

    // Second start: the Record folder exists already, the header is rewritten
    // in place, not added again.
    const DayLogPlace again = PrepareDayLogPlace("", program.folder(), "2014-08-10");
    ASSERT_EQ(again.path, place.path);
    ASSERT_TRUE(WriteDayLogHeader(again.path));
    EXPECT_EQ(ReadBytes(place.path), before);
    ASSERT_TRUE(AppendBatchEnd(place.path, -5));
    EXPECT_EQ(ReadBytes(place.path),
              before + "----SUM IS :-5 \r\n-------------BATCH  END------------- \r\n");
}

TEST(DayLog, TheHeaderOverwritesTheStartOfAForeignFile) {
    ScratchFolder dir;
    const std::string path = dir / "2014-08-10.log";
    const std::string foreign(40, 'z');
    WriteBytes(path, foreign);
    ASSERT_TRUE(WriteDayLogHeader(path));
    EXPECT_EQ(ReadBytes(path), std::string(kDayLogHeader) + foreign.substr(26));
}

TEST(DayLog, ADeletedDayLogLosesLinesSilently) {
    ScratchFolder dir;
    const std::string path = dir / "2014-08-10.log";
    ASSERT_TRUE(WriteDayLogHeader(path));
    ASSERT_EQ(unlink(path.c_str()), 0);
    const std::tm now = At(2014, 8, 10, 9, 5, 12);
    EXPECT_FALSE(AppendValueLine(path, now, "100"));
    EXPECT_FALSE(AppendBatchHeader(path, now, "B07", "12"));
    EXPECT_FALSE(AppendBatchEnd(path, 150));
    EXPECT_FALSE(PathExists(path)) << "writers must never create the day log";
    // Made again (Del Log File, folder picker), it takes lines once more.
    ASSERT_TRUE(WriteDayLogHeader(path));
    EXPECT_TRUE(AppendValueLine(path, now, "7"));
    EXPECT_EQ(ReadBytes(path), std::string(kDayLogHeader) + "  09:05:12 :7\r\n");
}

TEST(DayLog, AChosenLogFolderIsUsedButNeverCreated) {
    ScratchFolder program;
    const std::string chosen = program / "chosen";
    const DayLogPlace place = PrepareDayLogPlace(chosen, program.folder(), "2014-08-10");
    EXPECT_EQ(place.path, chosen + "/2014-08-10.log");
    EXPECT_EQ(place.recordFolder, "");
    EXPECT_FALSE(PathExists(chosen));
    EXPECT_FALSE(PathExists(program / "Record"));
    EXPECT_FALSE(WriteDayLogHeader(place.path)) << "a missing log folder cannot hold the day log";

    EXPECT_EQ(ChooseDayLogPlace("/", "/opt/", "2014-08-10").path, "/2014-08-10.log");
    EXPECT_EQ(ChooseDayLogPlace("/srv/logs", "/opt/", "2014-08-10").path,
              "/srv/logs/2014-08-10.log");
}

TEST(DayLog, LineFormats) {
    EXPECT_EQ(DayLogValueLine(At(2014, 1, 2, 0, 0, 5), "-5"), "  00:00:05 :-5\r\n");
    EXPECT_EQ(DayLogValueLine(At(2014, 1, 2, 23, 59, 59), ""), "  23:59:59 :\r\n");
    EXPECT_EQ(DayLogBatchHeaderLine(At(2014, 12, 31, 23, 59, 30)),
              "------12/31/2014  23:59  BATCH -------- \r\n");
    EXPECT_EQ(DayLogBatchHeaderLine(At(2014, 1, 2, 3, 4, 5)),
              "------01/02/2014  03:04  BATCH -------- \r\n");
    EXPECT_EQ(DayLogBatchHeaderBody("", "张三"),
              "ProductBatch:\r\nOperator:张三\r\nSCAN RESULT:\r\n");
    EXPECT_EQ(DayLogBatchSumLine(-2147483647 - 1), "----SUM IS :-2147483648 \r\n");
    EXPECT_EQ(std::string(kDayLogHeader).size(), 26u);
}

}  // namespace
