// CIniFile against small files, each a line or two showing one rule of the
// lookup (containment, "[" lines, trimming, line ends) or of the writers.
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scratch_folder.h"

namespace {

struct LookupCase {
    const char* fault;  // what the fixture shows
    const char* content;
    const char* section;
    const char* key;
    int found;
    const char* value;  // expected when found
};

const LookupCase kLookups[] = {
    {"first_key_containing_the_name_wins", "[Card Counter]\r\nSpecialCount=1\r\nCount=7\r\n",
     "Card Counter", "Count", 1, "1"},
    {"key_missing_in_section_found_further_down", "[A]\r\nx=1\r\n[B]\r\nk=2\r\n", "A", "k", 1, "2"},
    {"key_missing_everywhere", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", "k", 0, ""},
    {"section_missing", "[A]\r\nk=1\r\n", "B", "k", 0, ""},
    {"value_with_bracket_is_passed_over", "[A]\r\nk=a[b\r\n", "A", "k", 0, ""},
    {"blanks_round_key_and_value", "[A]\r\n  k  =  a b  \r\n", "A", "k", 1, "a b"},
    {"leading_tab_stays", "[A]\r\nk=\tv\r\n", "A", "k", 1, "\tv"},
    {"further_equals_belong_to_value", "[A]\r\nk=a=b\r\n", "A", "k", 1, "a=b"},
    {"no_equals_and_leading_equals_never_match", "[A]\r\nk\r\n=k\r\n", "A", "k", 0, ""},
    {"section_name_inside_an_earlier_value", "x=Card Counter\r\nk=1\r\n[Card Counter]\r\nk=2\r\n",
     "Card Counter", "k", 1, "1"},
    {"lf_line_ends", "[A]\nj=1\nk=v\n", "A", "k", 1, "v"},
    {"last_line_without_line_end", "[A]\r\nk=v", "A", "k", 1, "v"},
    {"blank_value_is_found", "[A]\r\nk=\r\n", "A", "k", 1, ""},
    {"empty_lines_are_passed_over", "[A]\r\n\r\n\n\r\nk=v\r\n", "A", "k", 1, "v"},
    {"key_line_before_section_is_not_seen", "k=0\r\n[A]\r\n", "A", "k", 0, ""},
    {"lone_cr_is_part_of_the_line", "[A]\r\nk=v\rw\r\n", "A", "k", 1, "v\rw"},
    {"utf8_texts", "[A]\r\n操作员=张三\r\n", "A", "操作员", 1, "张三"},
};

class IniLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniLookup, FindsTheValueTheRulesGive) {
    const LookupCase& c = GetParam();
    ScratchFolder dir;
    WriteBytes(dir / "t.ini", c.content);
    CIniFile ini;
    ini.SetFolder(dir.folder());
    ini.SetFileName("t");
    ASSERT_EQ(ini.OpenForRead(), 1);
    std::string value = "default";
    EXPECT_EQ(ini.ReadKeyString(c.section, c.key, value), c.found);
    EXPECT_EQ(value, c.found ? c.value : "default") << "the default must stay when not found";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, IniLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.fault); });

TEST(IniNumbers, ConvertAsTheLookupsDo) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"12abc", 12},
        {" -5", -5},
        {"+7", 7},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"\t 42", 42},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"4294967295", 2147483647},
        {"99999999999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"-99999999999999999999999999", -2147483647 - 1},
        {"007", 7},
        {"1 2", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(IniTextToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(IniNumbers, AValueWithoutDigitsIsFoundAsZero) {
    ScratchFolder dir;
    WriteBytes(dir / "t.ini", "[A]\r\nn=none\r\nbig=3000000000\r\n");
    CIniFile ini;
    ini.SetFolder(dir.folder());
    ini.SetFileName("t");
    ASSERT_EQ(ini.OpenForRead(), 1);
    std::int32_t n = 99;
    EXPECT_EQ(ini.ReadKeyInt("A", "n", n), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(ini.ReadKeyLong("A", "big", n), 1);
    EXPECT_EQ(n, 2147483647);
    n = 99;
    EXPECT_EQ(ini.ReadKeyLong("A", "missing", n), 0);
    EXPECT_EQ(n, 99);
}

TEST(IniLines, ALineOfAnyLengthIsReadWhole) {
    ScratchFolder dir;
    const std::string longValue(200000, 'x');
    WriteBytes(dir / "t.ini", "[A]\r\nk=" + longValue + "\r\n");
    CIniFile ini;
    ini.SetFolder(dir.folder());
    ini.SetFileName("t");
    ASSERT_EQ(ini.OpenForRead(), 1);
    std::string value;
    ASSERT_EQ(ini.ReadKeyString("A", "k", value), 1);
    EXPECT_EQ(value, longValue);
}

TEST(IniWrite, LinesGoOutWithCrLf) {
    ScratchFolder dir;
    WriteBytes(dir / "t.ini", "old content that must go\r\n");
    CIniFile ini;
    ini.SetFileName("t");
    ini.SetFolder(dir.folder());
    ASSERT_EQ(ini.OpenForWrite(), 1);
    EXPECT_EQ(ini.WriteSection("S"), 1);
    EXPECT_EQ(ini.WriteKeyULong("u", 4294967295u), 1);
    EXPECT_EQ(ini.WriteKeyInt("i", -1), 1);
    EXPECT_EQ(ini.WriteKeyInt("m", -2147483647 - 1), 1);
    EXPECT_EQ(ini.WriteKeyString("s", " a[=b "), 1);
    EXPECT_EQ(ini.WriteText("\n"), 1);
    EXPECT_EQ(ini.WriteText("raw"), 1);
    EXPECT_EQ(ini.Close(), 1);
    EXPECT_EQ(ReadBytes(dir / "t.ini"),
              "[S]\r\nu=4294967295\r\ni=-1\r\nm=-2147483648\r\ns= a[=b \r\n\r\nraw");
}

TEST(IniWrite, OpenForWriteEmptiesTheFile) {
    ScratchFolder dir;
    WriteBytes(dir / "t.ini", "[Old]\r\nk=v\r\n");
    {
        CIniFile ini;
        ini.SetFolder(dir.folder());
        ini.SetFileName("t");
        ASSERT_EQ(ini.OpenForWrite(), 1);
        EXPECT_EQ(ReadBytes(dir / "t.ini"), "");
        EXPECT_EQ(ini.WriteSection("Card Counter"), 1);
        // No Close: the destructor closes the file, and what was written is kept.
    }
    EXPECT_EQ(ReadBytes(dir / "t.ini"), "[Card Counter]\r\n");
}

TEST(IniFile, FolderAndNameMakeThePathWithoutSeparator) {
    CIniFile ini;
    ini.SetFolder("/opt/tally");
    ini.SetFileName("tallydesk");
    EXPECT_EQ(ini.Path(), "/opt/tallytallydesk.ini");
}

TEST(IniFile, FailuresAreResultsNotCrashes) {
    ScratchFolder dir;
    CIniFile ini;
    ini.SetFolder(dir.folder());
    ini.SetFileName("missing");
    EXPECT_EQ(ini.OpenForRead(), 0);
    // Nothing open: Close does nothing, lookups and writes answer 0.
    ini.Close();
    std::string text = "kept";
    std::int32_t number = 5;
    EXPECT_EQ(ini.ReadKeyString("A", "k", text), 0);
    EXPECT_EQ(ini.ReadKeyInt("A", "k", number), 0);
    EXPECT_EQ(ini.FindSection("A"), 0);
    EXPECT_EQ(ini.WriteSection("A"), 0);
    EXPECT_EQ(ini.WriteText("x"), 0);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(number, 5);

    ini.SetFolder(dir / "no-such-folder/");
    EXPECT_EQ(ini.OpenForWrite(), 0);
}

TEST(IniFile, TrimSpacesRemovesOnlyBlanks) {
    EXPECT_EQ(CIniFile::TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(CIniFile::TrimSpaces("    "), "");
    EXPECT_EQ(CIniFile::TrimSpaces(""), "");
    EXPECT_EQ(CIniFile::TrimSpaces("\t a \t"), "\t a \t");
}

TEST(IniFile, FindSectionStopsAtTheFirstLineContainingTheText) {
    ScratchFolder dir;
    WriteBytes(dir / "t.ini", "first\r\n[Sec]\r\nk=v\r\n");
    CIniFile ini;
    ini.SetFolder(dir.folder());
    ini.SetFileName("t");
    ASSERT_EQ(ini.OpenForRead(), 1);
    EXPECT_EQ(ini.FindSection(""), 1);
    EXPECT_EQ(ini.FindSection("ec]"), 1);
    EXPECT_EQ(ini.FindSection("absent"), 0);
    // Each lookup starts again from the top, so the order of reads is free.
    std::string v;
    EXPECT_EQ(ini.ReadKeyString("Sec", "k", v), 1);
    EXPECT_EQ(ini.ReadKeyString("first", "k", v), 1);
    EXPECT_EQ(v, "v");
}

}  // namespace
