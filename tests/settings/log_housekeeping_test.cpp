// Deleting the day logs of the log folder: which entries go, which stay, and
// that nothing outside the folder (nor the current directory) is touched.
#include "settings/log_housekeeping.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "scratch_folder.h"

namespace {

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// Runs the test body in a current directory of our own and returns to the
// previous one afterwards.
class InDirectory {
  public:
    explicit InDirectory(const std::string& dir) : previous_(CurrentDirectory()) {
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InDirectory() { EXPECT_EQ(chdir(previous_.c_str()), 0); }

  private:
    std::string previous_;
};

TEST(LogHousekeeping, DeletesLogFilesOnlyAndOnlyInTheFolder) {
    ScratchFolder dir;
    const std::string logs = dir / "logs";
    ASSERT_EQ(mkdir(logs.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((logs + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((logs + "/folder.log").c_str(), 0755), 0);
    for (const char* name : {"2014-08-10.log", "OLD.LOG", "readonly.log", ".log", "notes.txt",
                             "a.log.bak", "alog", "sub/2014-08-09.log"}) {
        WriteBytes(logs + "/" + name, "x");
    }
    ASSERT_EQ(chmod((logs + "/readonly.log").c_str(), 0444), 0);
    WriteBytes(dir / "outside.log", "keep");
    ASSERT_EQ(symlink("../outside.log", (logs + "/link.log").c_str()), 0);

    InDirectory cwd(dir.path());
    EXPECT_EQ(DeleteMatchingFiles("*.log", logs), 4);

    for (const char* gone : {"2014-08-10.log", "OLD.LOG", "readonly.log", ".log"}) {
        EXPECT_FALSE(PathExists(logs + "/" + gone)) << gone;
    }
    for (const char* kept :
         {"notes.txt", "a.log.bak", "alog", "sub/2014-08-09.log", "folder.log", "link.log"}) {
        EXPECT_TRUE(PathExists(logs + "/" + kept)) << kept;
    }
    EXPECT_EQ(ReadBytes(dir / "outside.log"), "keep");
    EXPECT_EQ(CurrentDirectory(), dir.path());
}

TEST(LogHousekeeping, AFolderThatCannotBeOpenedDeletesNothing) {
    ScratchFolder dir;
    WriteBytes(dir / "today.log", "x");
    WriteBytes(dir / "plain-file", "x");
    InDirectory cwd(dir.path());
    // Missing, blank, and a file in place of a folder: none of them may fall
    // back to searching the current directory.
    EXPECT_EQ(DeleteMatchingFiles("*.log", dir / "missing"), -1);
    EXPECT_EQ(DeleteMatchingFiles("*.log", ""), -1);
    EXPECT_EQ(DeleteMatchingFiles("*.log", dir / "plain-file"), -1);
    EXPECT_TRUE(PathExists(dir / "today.log"));
    EXPECT_EQ(CurrentDirectory(), dir.path());
}

TEST(LogHousekeeping, NothingToDeleteIsNotAFailure) {
    ScratchFolder dir;
    EXPECT_EQ(DeleteMatchingFiles("*.log", dir.path()), 0);
}

TEST(LogHousekeeping, TheFolderToClear) {
    EXPECT_EQ(LogFolderToClear("/srv/logs", "/opt/tally/Record/"), "/srv/logs");
    EXPECT_EQ(LogFolderToClear("", "/opt/tally/Record/"), "/opt/tally/Record/");
    EXPECT_EQ(LogFolderToClear("", ""), "");
}

}  // namespace
