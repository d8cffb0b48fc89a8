// The day log as the window's handlers write it: a whole day against the
// reference file, one line or two per record depending on where it came
// from, batch ends, a restart on the same day, a day log removed by hand.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture_fixture.h"

namespace {

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(TALLY_GOLDEN_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const char kHeader[] = "--NEW_RECORD LOG FILE-- \r\n";

}  // namespace

// Started on 10 August 2014 without a log folder; START_CAPTURE at 09:05
// with P_Batch B07 and Operator 12; a tick at 09:05:12 brings 100 and 50;
// STOP_CAPTURE at 09:06.
TEST_F(CaptureTest, OneBatchByTheCaptureTimerMatchesTheReferenceDayLog) {
    location.Write("tallydesk.ini",
                   "[Card Counter]\r\nCount=0\r\nSum=0\r\nDIR_LOG=\r\nFilename=2014-08-10\r\n"
                   "\r\n[PrintInf]\r\nBatchNo=B07\r\nStampNo=12\r\n");
    At(9, 4, 30);
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    At(9, 5, 0);
    dlg.SendCommand(IDC_START_CAPTURE);
    At(9, 5, 12);
    Tick({100, 50});
    At(9, 6, 3);
    dlg.SendCommand(IDC_START_CAPTURE);

    const std::string expected = Golden("2014-08-10.log");
    ASSERT_EQ(expected.size(), 236u);
    EXPECT_EQ(DayLog(), expected);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"50", "100"}));
}

TEST_F(CaptureTest, GetRecordAndTestAddWriteOneLineARecordAndEndBatchTwiceTwoEnds) {
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    device.batches.push_back({7, -5});
    dlg.SendCommand(IDC_GET_RECORD);  // answered Yes (first button)
    At(9, 6, 1);
    dlg.SendCommand(IDC_TEST_ADD);  // Yes: record 3, quantity "1003"
    At(9, 7, 0);
    dlg.SendCommand(IDC_END_BATCH);
    dlg.SendCommand(IDC_END_BATCH);
    EXPECT_EQ(DayLog(), std::string(kHeader) + Lines({
                                                   "  09:05:12 :7",
                                                   "  09:05:12 :-5",
                                                   "  09:06:01 :1003",
                                                   "----SUM IS :102 ",
                                                   "-------------BATCH  END------------- ",
                                                   "----SUM IS :0 ",
                                                   "-------------BATCH  END------------- ",
                                               }));
}

TEST_F(CaptureTest, DisconnectDuringACaptureLeavesTheBatchWithoutAnEnd) {
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    dlg.SendCommand(IDC_START_CAPTURE);
    Tick({3});
    dlg.SendCommand(IDC_DISCONNECT);
    EXPECT_EQ(DayLog(), std::string(kHeader) + Lines({
                                                   "------08/10/2014  09:05  BATCH -------- ",
                                                   "ProductBatch:",
                                                   "Operator:",
                                                   "SCAN RESULT:",
                                                   "  09:05:12 :3",
                                                   "  09:05:12 :3",
                                               }));
}

TEST_F(CaptureTest, ARestartOnTheSameDayAppendsWithoutASecondHeader) {
    Open();
    dlg.SendCommand(IDC_TEST_ADD);
    dlg.DestroyWindow();
    const std::string first = DayLog();
    EXPECT_EQ(first, std::string(kHeader) + Lines({"  09:05:12 :1001"}));

    CMytallydeskDlg again;
    again.Create();
    At(10, 0, 0);
    again.SendCommand(IDC_TEST_ADD);  // numbering goes on from the saved Count
    again.DestroyWindow();
    EXPECT_EQ(DayLog(), first + Lines({"  10:00:00 :1002"}));
}

TEST_F(CaptureTest, ADayLogRemovedByHandLosesLinesSilentlyUntilItIsMadeAgain) {
    Open();
    const std::string path = location.Folder() + "Record/2014-08-10.log";
    std::filesystem::remove(path);
    dlg.SendCommand(IDC_TEST_ADD);
    dlg.SendCommand(IDC_END_BATCH);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"是否记录累加？"});  // its question only
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);  // END_BATCH cleared the row added meanwhile

    // The folder picker (also when cancelled) opens the day log again.
    dlg.OpenDayLog();
    dlg.SendCommand(IDC_TEST_ADD);
    EXPECT_EQ(DayLog(), std::string(kHeader) + Lines({"  09:05:12 :1001"}));
}

TEST_F(CaptureTest, StopAndStartAgainEndsOneBatchAndOpensTheNextNumberingOn) {
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    dlg.SendCommand(IDC_START_CAPTURE);
    Tick({3});
    dlg.SendCommand(IDC_START_CAPTURE);
    At(9, 10, 0);
    dlg.SendCommand(IDC_START_CAPTURE);
    Tick({4});
    EXPECT_EQ(Column(0), (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(DayLog(), std::string(kHeader) + Lines({
                                                   "------08/10/2014  09:05  BATCH -------- ",
                                                   "ProductBatch:",
                                                   "Operator:",
                                                   "SCAN RESULT:",
                                                   "  09:05:12 :3",
                                                   "  09:05:12 :3",
                                                   "----SUM IS :3 ",
                                                   "-------------BATCH  END------------- ",
                                                   "------08/10/2014  09:10  BATCH -------- ",
                                                   "ProductBatch:",
                                                   "Operator:",
                                                   "SCAN RESULT:",
                                                   "  09:10:00 :4",
                                                   "  09:10:00 :4",
                                               }));
}

TEST_F(CaptureTest, ABatchOverMidnightStaysInTheDayLogOfItsStart) {
    clock.now.tm_hour = 23;
    clock.now.tm_min = 59;
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    dlg.SendCommand(IDC_START_CAPTURE);
    clock.now.tm_mday = 11;
    At(0, 0, 30);
    dlg.SendCommand(IDC_START_CAPTURE);
    EXPECT_FALSE(std::filesystem::exists(location.Folder() + "Record/2014-08-11.log"));
    EXPECT_EQ(DayLog(), std::string(kHeader) + Lines({
                                                   "------08/10/2014  23:59  BATCH -------- ",
                                                   "ProductBatch:",
                                                   "Operator:",
                                                   "SCAN RESULT:",
                                                   "----SUM IS :0 ",
                                                   "-------------BATCH  END------------- ",
                                               }));
}
