// The log folder buttons through the main window's handlers: choosing the
// folder the day logs go to, and deleting the day logs, which starts the
// day's counting again from zero.
#include <sys/stat.h>

#include <filesystem>

#include "app/resource.h"
#include "main_window_fixture.h"
#include "scratch_folder.h"

namespace {

const char kHeader[] = "--NEW_RECORD LOG FILE-- \r\n";

// Saved on the fixture's day, so the counters are taken as they are.
const char kSettings[] =
    "[Card Counter]\r\nCount=12\r\nSum=3456\r\nSpecialCount=1\r\nDIR_LOG=%s\r\n"
    "Filename=2014-08-10\r\nExportType=\r\n\r\n[PrintInf]\r\nCustomerID=C01\r\n"
    "BatchNo=B07\r\nBoxNo=12\r\nBoxTotalNo=20\r\nStampNo=12\r\n\r\n";

class LogFolderTest : public MainWindowTest {
  protected:
    void WriteSettings(const std::string& logDir = "") {
        char text[1024];
        std::snprintf(text, sizeof text, kSettings, logDir.c_str());
        location.Write("tallydesk.ini", text);
    }
    std::string Record(const std::string& name) { return location.Folder() + "Record/" + name; }
    std::string Pane(CMytallydeskDlg& dlg) { return dlg.GetDlgItemText(IDC_MESSAGE); }
};

TEST_F(LogFolderTest, AnsweringNoChangesNothing) {
    WriteSettings();
    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.WriteLogLine("100");
    WriteBytes(Record("2014-08-09.log"), "older day");
    dlg.SetDlgItemText(IDC_MESSAGE, "pane text");
    const std::string dayLog = ReadBytes(dlg.m_logPath);
    const std::string settings = Settings();

    dialogs.answers = {IDNO};
    dlg.SendCommand(IDC_DEL_LOG_FILE);

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Confirm to Delete all Log file?");
    EXPECT_EQ(dialogs.shown[0].caption, "Delete all Log file?");
    EXPECT_EQ(dialogs.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(ReadBytes(dlg.m_logPath), dayLog);
    EXPECT_EQ(ReadBytes(Record("2014-08-09.log")), "older day");
    EXPECT_EQ(Settings(), settings);
    EXPECT_EQ(Pane(dlg), "pane text");
    EXPECT_EQ(dlg.m_recordNumber, 12);
    EXPECT_EQ(dlg.m_runningSum, 3456);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_RECORD_COUNT), "12");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_SUM), "3456");
    dlg.DestroyWindow();
}

// With DIR_LOG blank the Record folder is the log folder: its .log files go,
// read-only ones too, whatever the case of the extension; other files, its
// subfolders and the program's own folder are left alone.
TEST_F(LogFolderTest, YesEmptiesTheRecordFolderAndCountsFromZero) {
    WriteSettings();
    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.WriteLogLine("100");
    WriteBytes(Record("2014-08-09.log"), "older day");
    WriteBytes(Record("OLD.LOG"), "upper case");
    chmod(Record("OLD.LOG").c_str(), 0444);
    WriteBytes(Record("notes.txt"), "notes");
    std::filesystem::create_directory(Record("kept"));
    WriteBytes(Record("kept/2014-01-01.log"), "in a subfolder");
    WriteBytes(location.Folder() + "beside.log", "beside the program");

    dlg.SendCommand(IDC_DEL_LOG_FILE);

    EXPECT_FALSE(PathExists(Record("2014-08-09.log")));
    EXPECT_FALSE(PathExists(Record("OLD.LOG")));
    EXPECT_EQ(ReadBytes(Record("notes.txt")), "notes");
    EXPECT_EQ(ReadBytes(Record("kept/2014-01-01.log")), "in a subfolder");
    EXPECT_EQ(ReadBytes(location.Folder() + "beside.log"), "beside the program");
    // The day log starts again with its header alone.
    EXPECT_EQ(ReadBytes(dlg.m_logPath), kHeader);
    EXPECT_EQ(std::filesystem::file_size(dlg.m_logPath), 26u);

    EXPECT_EQ(Pane(dlg), "Delete all Log file Success!");
    EXPECT_EQ(dlg.m_recordNumber, 0);
    EXPECT_EQ(dlg.m_runningSum, 0);
    EXPECT_EQ(dlg.m_totalRecordCount, 0);
    EXPECT_EQ(dlg.m_totalSum, 0);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_RECORD_COUNT), "0");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_SUM), "0");
    const std::string settings = Settings();
    EXPECT_NE(settings.find("\r\nCount=0\r\nSum=0\r\n"), std::string::npos) << settings;
    ASSERT_EQ(dialogs.shown.size(), 1u) << "only the confirmation";

    // A batch end written next reports the sum from zero.
    dlg.WriteBatchEnd();
    EXPECT_EQ(ReadBytes(dlg.m_logPath), std::string(kHeader) + "----SUM IS :0 \r\n" +
                                            "-------------BATCH  END------------- \r\n");
    dlg.DestroyWindow();
}

TEST_F(LogFolderTest, DayLogThatCannotBeMadeAgainIsReportedInThePane) {
    WriteSettings();
    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.m_logPath = location.Folder() + "gone/2014-08-10.log";
    dlg.SendCommand(IDC_DEL_LOG_FILE);
    EXPECT_EQ(Pane(dlg), "Create log file failed!");
    EXPECT_EQ(dlg.m_recordNumber, 0);
    EXPECT_NE(Settings().find("\r\nCount=0\r\nSum=0\r\n"), std::string::npos);
    dlg.DestroyWindow();
}

// A chosen folder takes the later log lines at once; the old day log stays
// where it was, and the settings file learns the folder at the next save.
// Del Log File then clears the chosen folder, not the Record folder.
TEST_F(LogFolderTest, ChosenFolderTakesTheLaterLines) {
    ScratchFolder logs;
    WriteSettings();
    CMytallydeskDlg dlg;
    dlg.Create();
    const std::string oldDayLog = dlg.m_logPath;
    dlg.WriteLogLine("100");
    const std::string oldContent = ReadBytes(oldDayLog);

    dialogs.folders = {logs.path()};
    dlg.SendCommand(IDC_SET_LOG_FILE_LOCATION);

    ASSERT_EQ(dialogs.folderTitles, std::vector<std::string>{"Modify log file location"});
    EXPECT_EQ(dlg.m_logDir, logs.path());
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LOG_DIR), logs.path());
    EXPECT_EQ(dlg.m_logPath, logs / "2014-08-10.log");
    EXPECT_EQ(ReadBytes(logs / "2014-08-10.log"), kHeader);
    EXPECT_EQ(Settings().find("DIR_LOG=" + logs.path()), std::string::npos);

    dlg.WriteLogLine("7");
    EXPECT_EQ(ReadBytes(logs / "2014-08-10.log"), std::string(kHeader) + "  09:05:12 :7\r\n");
    EXPECT_EQ(ReadBytes(oldDayLog), oldContent);

    dlg.SaveSettings();
    EXPECT_NE(Settings().find("DIR_LOG=" + logs.path() + "\r\n"), std::string::npos);

    WriteBytes(logs / "2014-08-09.log", "older day");
    dlg.SendCommand(IDC_DEL_LOG_FILE);
    EXPECT_FALSE(PathExists(logs / "2014-08-09.log"));
    EXPECT_EQ(ReadBytes(logs / "2014-08-10.log"), kHeader);
    EXPECT_EQ(ReadBytes(oldDayLog), oldContent);
    EXPECT_TRUE(dialogs.shown.size() == 1u) << "only the confirmation";
    dlg.DestroyWindow();
}

TEST_F(LogFolderTest, CancelledPickerKeepsTheFolderAndMakesTheDayLogAgain) {
    ScratchFolder logs;
    WriteSettings(logs.path());
    CMytallydeskDlg dlg;
    dlg.Create();
    ASSERT_EQ(dlg.m_logPath, logs / "2014-08-10.log");
    std::filesystem::remove(dlg.m_logPath);

    dialogs.folders = {std::nullopt};
    dlg.SendCommand(IDC_SET_LOG_FILE_LOCATION);

    EXPECT_EQ(dlg.m_logDir, logs.path());
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LOG_DIR), logs.path());
    EXPECT_EQ(ReadBytes(logs / "2014-08-10.log"), kHeader);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(dlg.HasEnded());
    dlg.DestroyWindow();
}

// A folder in which no day log can be made is refused with the day log's
// message; the window goes on logging where it did, instead of ending and
// saving a folder that would end every later start.
TEST_F(LogFolderTest, FolderWithoutRoomForTheDayLogIsNotTaken) {
    ScratchFolder logs;
    WriteSettings();
    CMytallydeskDlg dlg;
    dlg.Create();
    const std::string dayLog = dlg.m_logPath;

    dialogs.folders = {logs / "no-such-folder"};
    dlg.SendCommand(IDC_SET_LOG_FILE_LOCATION);

    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Create Log File Failed!"});
    EXPECT_FALSE(dlg.HasEnded());
    EXPECT_EQ(dlg.m_logDir, "");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LOG_DIR), "");
    EXPECT_EQ(dlg.m_logPath, dayLog);
    EXPECT_FALSE(PathExists(logs / "no-such-folder"));
    dlg.DestroyWindow();
    EXPECT_NE(Settings().find("DIR_LOG=\r\n"), std::string::npos);
}

}  // namespace
