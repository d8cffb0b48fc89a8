// Data exchange: the number rules as a table, and a failing take.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "framework/testing/scripted.h"
#include "test_dialog.h"

namespace {

struct NumberCase {
    const char* text;
    bool unsignedOk;
    std::uint32_t unsignedValue;
    bool signedOk;
    std::int32_t signedValue;
};

std::string Blanks(size_t n) { return std::string(n, ' '); }

TEST(NumberFields, FirstNumberOfAtMostSixtyThreeCharacters) {
    const std::string sixtyTwoBlanks = Blanks(62) + "5";
    const std::string sixtyThreeBlanks = Blanks(63) + "5";
    const NumberCase cases[] = {
        {"12", true, 12, true, 12},
        {"", false, 0, false, 0},
        {"abc", false, 0, false, 0},
        {"   7", true, 7, true, 7},
        {"\t8", true, 8, true, 8},
        {"12abc", true, 12, true, 12},
        {"12 34", true, 12, true, 12},
        {"-5", false, 0, true, -5},
        {"+5", true, 5, true, 5},
        {"-", false, 0, false, 0},
        {"- 5", false, 0, false, 0},
        {"0", true, 0, true, 0},
        {"4294967295", true, 4294967295u, true, -1},
        {"4294967296", true, 0, true, 0},  // wraps, never overflows
        {"2147483648", true, 2147483648u, true, INT32_MIN},
        {"-2147483648", false, 0, true, INT32_MIN},
        {sixtyTwoBlanks.c_str(), true, 5, true, 5},      // the digit is character 63
        {sixtyThreeBlanks.c_str(), false, 0, false, 0},  // the digit is not read
    };
    for (const NumberCase& c : cases) {
        std::uint32_t u = 99;
        std::int32_t s = 99;
        EXPECT_EQ(ParseUnsignedField(c.text, &u), c.unsignedOk) << '"' << c.text << '"';
        if (c.unsignedOk) {
            EXPECT_EQ(u, c.unsignedValue) << '"' << c.text << '"';
        }
        EXPECT_EQ(ParseSignedField(c.text, &s), c.signedOk) << '"' << c.text << '"';
        if (c.signedOk) {
            EXPECT_EQ(s, c.signedValue) << '"' << c.text << '"';
        }
    }
}

TEST(NumberFields, DigitsPastSixtyThreeCharactersAreNotRead) {
    // 70 digits: only the first 63 take part, and they wrap modulo 2^32.
    const std::string digits(70, '1');
    std::uint32_t expected = 0;
    for (int i = 0; i < 63; ++i) expected = expected * 10u + 1u;
    std::uint32_t u = 0;
    ASSERT_TRUE(ParseUnsignedField(digits, &u));
    EXPECT_EQ(u, expected);
}

class DataExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override { dlg.Create(); }
    void TearDown() override { dlg.DestroyWindow(); }
    QWidget* Ctl(int id) { return dlg.GetDlgItem(id)->Widget(); }

    ScriptedDialogs dialogs;
    ScopedSeam<MessageBoxService> boxes{&dialogs};
    TempProgramLocation location{"tallydesk"};
    ScopedSeam<ProgramLocation> where{&location};
    CTestDlg dlg;
};

TEST_F(DataExchangeTest, ShowingWritesDecimalAndText) {
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_UNSIGNED), "7");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_SIGNED), "-3");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_TEXT), "hello");
    dlg.m_unsigned = 4294967295u;
    dlg.m_signed = INT32_MIN;
    dlg.UpdateData(FALSE);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_UNSIGNED), "4294967295");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_SIGNED), "-2147483648");
}

TEST_F(DataExchangeTest, TakingStopsAtTheBadFieldWithItsMessageAndFocus) {
    struct Case {
        const char* unsignedText;
        const char* signedText;
        const char* message;  // nullptr: the take succeeds
        int focusId;
    };
    const Case cases[] = {
        {"x1", "2", "请输入一个正整数。", IDC_T_UNSIGNED},
        {"-1", "2", "请输入一个正整数。", IDC_T_UNSIGNED},
        {"5", "", "请输入一个整数。", IDC_T_SIGNED},
        {" 5 apples", " -6 pears", nullptr, 0},
    };
    for (const Case& c : cases) {
        dlg.m_unsigned = 7;
        dlg.m_signed = -3;
        dlg.m_text = "hello";
        dialogs.shown.clear();
        dlg.SetDlgItemText(IDC_T_UNSIGNED, c.unsignedText);
        dlg.SetDlgItemText(IDC_T_SIGNED, c.signedText);
        dlg.SetDlgItemText(IDC_T_TEXT, "typed");
        const BOOL ok = dlg.UpdateData(TRUE);
        if (!c.message) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(dlg.m_unsigned, 5u);
            EXPECT_EQ(dlg.m_signed, -6);
            EXPECT_EQ(dlg.m_text, "typed");
            EXPECT_TRUE(dialogs.shown.empty());
            continue;
        }
        EXPECT_FALSE(ok) << c.unsignedText;
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, c.message);
        EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
        EXPECT_EQ(dialogs.shown[0].type & MB_TYPEMASK, MB_OK);
        EXPECT_EQ(dlg.Widget()->focusWidget(), Ctl(c.focusId));
        EXPECT_EQ(dlg.m_text, "hello") << "fields after the bad one keep their values";
        if (c.focusId == IDC_T_SIGNED) {
            EXPECT_EQ(dlg.m_unsigned, 5u) << "fields before it are taken";
        }
    }
}

TEST_F(DataExchangeTest, MultiLineTextKeepsItsLineBreaks) {
    dlg.SetDlgItemText(IDC_T_MULTI, "one\r\ntwo\r\n");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_MULTI), "one\r\ntwo\r\n");
    // Typed into by the operator, then refreshed with the same field text:
    // the field's text comes back.
    static_cast<QPlainTextEdit*>(Ctl(IDC_T_MULTI))->insertPlainText("typed");
    dlg.SetDlgItemText(IDC_T_MULTI, "one\r\ntwo\r\n");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_MULTI), "one\r\ntwo\r\n");
}

}  // namespace
