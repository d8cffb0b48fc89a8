// The settings file: the saved bytes, the values read back, the containment
// quirk, and saves that must not harm the file already there.
#include "settings/settings_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "scratch_folder.h"

namespace {

// The day of the reference file: 12 records, sum 3456, SPECIAL_COUNT ticked,
// the Windows default log folder, blank export type, Record Count 12.
StoredSettings ReferenceDay() {
    StoredSettings s;
    s.recordNumber = 12;
    s.runningSum = 3456;
    s.specialCount = 1;
    s.logDir = "D:\\temp";
    s.logDate = "2014-08-10";
    s.exportType = "";
    s.customerId = "C01";
    s.productBatch = "B07";
    s.boxNum = "12";
    s.boxCount = "20";
    s.operatorText = "12";
    return s;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

void ExpectSame(const StoredSettings& a, const StoredSettings& b) {
    EXPECT_EQ(a.recordNumber, b.recordNumber);
    EXPECT_EQ(a.runningSum, b.runningSum);
    EXPECT_EQ(a.specialCount, b.specialCount);
    EXPECT_EQ(a.logDir, b.logDir);
    EXPECT_EQ(a.logDate, b.logDate);
    EXPECT_EQ(a.exportType, b.exportType);
    EXPECT_EQ(a.customerId, b.customerId);
    EXPECT_EQ(a.productBatch, b.productBatch);
    EXPECT_EQ(a.boxNum, b.boxNum);
    EXPECT_EQ(a.boxCount, b.boxCount);
    EXPECT_EQ(a.operatorText, b.operatorText);
}

TEST(SettingsFile, SaveWritesTheFifteenLinesByteForByte) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    std::string error;
    ASSERT_TRUE(WriteSettingsFile(where, ReferenceDay(), &error)) << error;
    EXPECT_EQ(ReadBytes(dir / "tallydesk.ini"), ReadBytes(TALLY_GOLDEN_DIR "/tallydesk.ini"));
    // The file written beside it for the rename is gone.
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"tallydesk.ini"});

    // A second save replaces the first one whole.
    StoredSettings next = ReferenceDay();
    next.recordNumber = 13;
    ASSERT_TRUE(WriteSettingsFile(where, next, &error)) << error;
    StoredSettings back;
    ASSERT_TRUE(ReadSettingsFile(where, back));
    EXPECT_EQ(back.recordNumber, 13);
}

TEST(SettingsFile, AllElevenValuesComeBackIncludingBlanks) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    StoredSettings saved;
    saved.recordNumber = 7;
    saved.runningSum = -25;  // a negative sum is written unsigned and comes back clamped
    saved.specialCount = 0;
    saved.logDir = "/srv/logs with blanks";
    saved.logDate = "2014-08-10";
    saved.exportType = "csv";
    saved.customerId = "";
    saved.productBatch = "B 07";
    saved.boxNum = "";
    saved.boxCount = "20";
    saved.operatorText = "张三";
    ASSERT_TRUE(WriteSettingsFile(where, saved));

    StoredSettings read;  // every field differs from what was saved
    read.recordNumber = -1;
    read.runningSum = -1;
    read.specialCount = 9;
    read.logDir = read.logDate = read.exportType = read.customerId = "x";
    read.productBatch = read.boxNum = read.boxCount = read.operatorText = "x";
    ASSERT_TRUE(ReadSettingsFile(where, read));
    StoredSettings expected = saved;
    expected.runningSum = 2147483647;
    ExpectSame(read, expected);
}

TEST(SettingsFile, MissingKeysKeepTheirDefaults) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    WriteBytes(dir / "tallydesk.ini",
               "[Card Counter]\r\nSum=5\r\n\r\n[PrintInf]\r\nStampNo=A7\r\n");
    StoredSettings read;
    read.logDir = "D:\\temp";
    ASSERT_TRUE(ReadSettingsFile(where, read));
    StoredSettings expected;
    expected.logDir = "D:\\temp";
    expected.runningSum = 5;
    expected.operatorText = "A7";
    ExpectSame(read, expected);
}

TEST(SettingsFile, NoFileLeavesEveryField) {
    ScratchFolder dir;
    StoredSettings read = ReferenceDay();
    EXPECT_FALSE(ReadSettingsFile({dir.folder(), "tallydesk"}, read));
    ExpectSame(read, ReferenceDay());
}

TEST(SettingsFile, CountMissingTakesTheSpecialCountValue) {
    ScratchFolder dir;
    WriteBytes(dir / "tallydesk.ini", "[Card Counter]\r\nSum=40\r\nSpecialCount=1\r\n");
    StoredSettings read;
    ASSERT_TRUE(ReadSettingsFile({dir.folder(), "tallydesk"}, read));
    EXPECT_EQ(read.recordNumber, 1);
    EXPECT_EQ(read.specialCount, 1);
}

TEST(SettingsFile, CountersPastTheSignedRangeAreWrittenUnsignedAndReadClamped) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    StoredSettings s;
    s.recordNumber = -1;             // 4294967295 as unsigned
    s.runningSum = -2147483647 - 1;  // 2147483648 as unsigned
    ASSERT_TRUE(WriteSettingsFile(where, s));
    const std::string bytes = ReadBytes(dir / "tallydesk.ini");
    EXPECT_NE(bytes.find("\r\nCount=4294967295\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\nSum=2147483648\r\n"), std::string::npos) << bytes;
    StoredSettings read;
    ASSERT_TRUE(ReadSettingsFile(where, read));
    EXPECT_EQ(read.recordNumber, 2147483647);
    EXPECT_EQ(read.runningSum, 2147483647);
}

TEST(SettingsFile, AReadOnlyFileKeepsItsContent) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    const std::string old = "[Card Counter]\r\nCount=3\r\n";
    WriteBytes(dir / "tallydesk.ini", old);
    ASSERT_EQ(chmod((dir / "tallydesk.ini").c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(WriteSettingsFile(where, ReferenceDay(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(dir / "tallydesk.ini"), old);
    EXPECT_EQ(FolderNames(dir.path()).size(), 1u);
}

TEST(SettingsFile, AFolderThatCannotBeWrittenFails) {
    ScratchFolder dir;
    std::string error;
    EXPECT_FALSE(WriteSettingsFile({dir / "missing/", "tallydesk"}, ReferenceDay(), &error));
    EXPECT_FALSE(error.empty());
}

// A save stopped half-way (here by a file size limit, as a full disk would)
// must leave the previous file whole, not the lines written so far.
TEST(SettingsFile, ASaveStoppedHalfWayLeavesTheOldFile) {
    ScratchFolder dir;
    const SettingsLocation where{dir.folder(), "tallydesk"};
    const std::string old = ReadBytes(TALLY_GOLDEN_DIR "/tallydesk.ini");
    WriteBytes(dir / "tallydesk.ini", old);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        StoredSettings s = ReferenceDay();
        s.customerId = std::string(300, 'C');
        _exit(WriteSettingsFile(where, s) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the cut save must report failure";
    EXPECT_EQ(ReadBytes(dir / "tallydesk.ini"), old);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"tallydesk.ini"});
}

TEST(SettingsFile, SaveKeepsModeAndSymbolicLink) {
    ScratchFolder dir;
    ASSERT_EQ(mkdir((dir / "real").c_str(), 0755), 0);
    WriteBytes(dir / "real/tallydesk.ini", "old");
    ASSERT_EQ(chmod((dir / "real/tallydesk.ini").c_str(), 0600), 0);
    ASSERT_EQ(symlink("real/tallydesk.ini", (dir / "tallydesk.ini").c_str()), 0);
    ASSERT_TRUE(WriteSettingsFile({dir.folder(), "tallydesk"}, ReferenceDay()));
    struct stat st;
    ASSERT_EQ(lstat((dir / "tallydesk.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "real/tallydesk.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadBytes(dir / "real/tallydesk.ini"), ReadBytes(TALLY_GOLDEN_DIR "/tallydesk.ini"));
}

TEST(SettingsFile, DayCheck) {
    const struct {
        const char* today;
        const char* stored;
        bool reset;
    } cases[] = {
        {"2014-08-10", "2014-08-10", false},
        {"2014-08-11", "2014-08-10", true},
        {"2014-08-10", "", true},
        {"2014-08-10", "2014-08-10 ", true},  // exact comparison
    };
    for (const auto& c : cases) {
        std::int32_t number = 12, sum = 3456;
        std::string logDate = c.stored;
        EXPECT_EQ(ApplyDayCheck(c.today, number, sum, logDate), c.reset) << c.stored;
        EXPECT_EQ(number, c.reset ? 0 : 12);
        EXPECT_EQ(sum, c.reset ? 0 : 3456);
        EXPECT_EQ(logDate, c.reset ? std::string(c.today) : std::string(c.stored));
    }
}

TEST(SettingsFile, LocationFromTheProgramPath) {
    const struct {
        const char* program;
        const char* folder;
        const char* base;
    } cases[] = {
        {"/opt/tally/tallydesk", "/opt/tally/", "tallydesk"},
        {"/opt/tally/tallydesk.bin", "/opt/tally/", "tallydesk"},
        {"/opt/v1.2/tallydesk", "/opt/v1.2/", "tallydesk"},
        {"/opt/.tallydesk", "/opt/", ".tallydesk"},
        {"/tallydesk", "/", "tallydesk"},
        {"tallydesk", "", "tallydesk"},
    };
    for (const auto& c : cases) {
        const SettingsLocation where = SettingsLocationFor(c.program);
        EXPECT_EQ(where.folder, c.folder) << c.program;
        EXPECT_EQ(where.baseName, c.base) << c.program;
    }
    const std::string self = ProgramFilePath();
    EXPECT_EQ(SettingsLocationFor(self).baseName, "settings_file_test");
}

}  // namespace
