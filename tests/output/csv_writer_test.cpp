// CSV export lines: plain cells byte-identical, awkward cells quoted so that
// a real CSV reader sees the same five fields, and the file appends.
#include "output/csv_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace {

TEST(CsvWriter, APlainRowStaysByteIdentical) {
    EXPECT_EQ(CsvLine({"12", "100", "1200", "A7", "2014-08-10 09:05:03"}),
              "12,100,1200,A7,2014-08-10 09:05:03\r\n");
    EXPECT_EQ(CsvLine({"", "", "", "", ""}), ",,,,\r\n");
    EXPECT_EQ(CsvLine({"1", "-5", "-5", " 张三 ", "x"}), "1,-5,-5, 张三 ,x\r\n");
}

TEST(CsvWriter, AwkwardCellsAreQuoted) {
    const struct {
        const char* cell;
        const char* written;
    } cases[] = {
        {"A,7", "\"A,7\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"\"", "\"\"\"\""},
        {"'single'", "'single'"},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvCell(c.cell), c.written) << c.cell;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

// Python's csv module reads the file; each row comes back as its fields in
// hex, one row a line, so any byte survives the trip.
std::string ReadWithPython(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c 'import csv,sys\n"
        "with open(sys.argv[1], newline=\"\", encoding=\"utf-8\") as f:\n"
        "    for row in csv.reader(f):\n"
        "        print(\" \".join(x.encode(\"utf-8\").hex() for x in row))' " +
        path;
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

TEST(CsvWriter, ARealReaderSeesTheSameFiveFields) {
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "needs /usr/bin/python3";
    ScratchFolder dir;
    const std::vector<CsvRow> rows = {
        {"2", "50", "150", "Smith, J.", "2014-08-10 09:05:12"},
        {"1", "100", "100", "the \"night\" shift", "2014-08-10 09:05:03"},
        {"0", "1", "1", "line\r\nbreak", "张三,李四"},
    };
    std::string expected;
    for (const CsvRow& row : rows) {
        std::string error;
        ASSERT_TRUE(AppendCsvLine(dir / "out.csv", CsvLine(row), &error)) << error;
        for (std::size_t i = 0; i < row.size(); ++i) expected += (i ? " " : "") + Hex(row[i]);
        expected += "\n";
    }
    EXPECT_EQ(ReadWithPython(dir / "out.csv"), expected);
}

TEST(CsvWriter, LinesAppendToTheFile) {
    ScratchFolder dir;
    const std::string path = dir / "records.csv";
    // Newest first, as the record list holds them.
    for (const CsvRow& row : {CsvRow{"3", "50", "1350", "A7", "2014-08-10 09:07:44"},
                              CsvRow{"2", "300", "1300", "A7", "2014-08-10 09:06:10"},
                              CsvRow{"1", "1000", "1000", "A7", "2014-08-10 09:05:03"}}) {
        ASSERT_TRUE(AppendCsvLine(path, CsvLine(row)));
    }
    EXPECT_EQ(ReadBytes(path), ReadBytes(TALLY_GOLDEN_DIR "/three_records.csv"));
}

TEST(CsvWriter, AFileThatCannotBeWrittenReportsWhy) {
    ScratchFolder dir;
    std::string error;
    EXPECT_FALSE(AppendCsvLine(dir / "missing/out.csv", "1,2,3,4,5\r\n", &error));
    EXPECT_NE(error.find("missing/out.csv"), std::string::npos) << error;
    ASSERT_EQ(mkdir((dir / "folder.csv").c_str(), 0755), 0);
    EXPECT_FALSE(AppendCsvLine(dir / "folder.csv", "1,2,3,4,5\r\n", &error));
}

TEST(CsvWriter, AnExistingTargetIsRecognisedEvenWhenUnreadable) {
    ScratchFolder dir;
    WriteBytes(dir / "locked.csv", "old");
    ASSERT_EQ(chmod((dir / "locked.csv").c_str(), 0), 0);
    ASSERT_EQ(symlink("nowhere.csv", (dir / "dangling.csv").c_str()), 0);
    EXPECT_TRUE(ExportTargetExists(dir / "locked.csv"));
    EXPECT_TRUE(ExportTargetExists(dir / "dangling.csv"));
    EXPECT_TRUE(ExportTargetExists(dir.path()));
    EXPECT_FALSE(ExportTargetExists(dir / "new.csv"));
}

}  // namespace
