// The fetch loop and the record rows: which fetched values become records
// (SPECIAL_COUNT merges an equal adjacent pair), what each row and the
// counters hold afterwards, and what clears or keeps them.
#include <climits>

#include "capture_fixture.h"

namespace {

struct FetchCase {
    const char* name;
    int specialCount;
    std::vector<int> values;
    std::vector<std::string> quantities;  // records, oldest first
};

const FetchCase kFetchCases[] = {
    {"on_555", 1, {5, 5, 5}, {"5", "5"}},
    {"on_5555", 1, {5, 5, 5, 5}, {"5", "5"}},
    {"on_5665", 1, {5, 6, 6, 5}, {"5", "6", "5"}},
    {"on_77", 1, {7, 7}, {"7"}},
    {"on_78", 1, {7, 8}, {"7", "8"}},
    {"on_negative", 1, {-5, -5, 3, -2}, {"-5", "3", "-2"}},
    {"on_single", 1, {9}, {"9"}},
    {"off_555", 0, {5, 5, 5}, {"5", "5", "5"}},
    {"off_5555", 0, {5, 5, 5, 5}, {"5", "5", "5", "5"}},
    {"off_5665", 0, {5, 6, 6, 5}, {"5", "6", "6", "5"}},
    {"off_77", 0, {7, 7}, {"7", "7"}},
    {"off_negative", 0, {-5, -5, 3}, {"-5", "-5", "3"}},
};

class FetchLoop : public CaptureTest, public ::testing::WithParamInterface<FetchCase> {};

}  // namespace

TEST_P(FetchLoop, ValuesBecomeNumberedRowsWithRunningSums) {
    const FetchCase& c = GetParam();
    Open();
    // Records already counted today: numbering and the sum go on from them.
    dlg.m_recordNumber = 4;
    dlg.m_runningSum = 1000;
    dlg.m_specialCount = c.specialCount;
    Tick(c.values);

    const int n = static_cast<int>(c.quantities.size());
    ASSERT_EQ(dlg.m_list.GetItemCount(), n);
    int sum = 1000;
    for (int k = 0; k < n; ++k) {
        const int row = n - 1 - k;  // newest on top
        sum += std::stoi(c.quantities[k]);
        EXPECT_EQ(dlg.m_list.GetItemText(row, 0), std::to_string(5 + k)) << k;
        EXPECT_EQ(dlg.m_list.GetItemText(row, 1), c.quantities[k]) << k;
        EXPECT_EQ(dlg.m_list.GetItemText(row, 2), std::to_string(sum)) << k;
        EXPECT_EQ(dlg.m_list.GetItemText(row, 4), "2014-08-10 09:05:12") << k;
    }
    // The invariants after an added record, in the fields and the edits.
    EXPECT_EQ(dlg.m_recordNumber, 4 + n);
    EXPECT_EQ(dlg.m_runningSum, sum);
    EXPECT_EQ(dlg.m_totalRecordCount, dlg.m_recordNumber);
    EXPECT_EQ(dlg.m_totalSum, dlg.m_runningSum);
    EXPECT_EQ(dlg.m_boxNum, std::to_string(4 + n));
    EXPECT_EQ(dlg.m_cardCount, c.quantities.back());
    EXPECT_EQ(dlg.m_recordCount, c.values.size());  // values delivered, not records
    EXPECT_EQ(Text(IDC_TOTAL_RECORD_COUNT), std::to_string(4 + n));
    EXPECT_EQ(Text(IDC_TOTAL_SUM), std::to_string(sum));
    EXPECT_EQ(Text(IDC_BOX_NUM), std::to_string(4 + n));
    EXPECT_EQ(Text(IDC_CARD_COUNT), c.quantities.back());
    EXPECT_EQ(Text(IDC_RECORD_COUNT), std::to_string(c.values.size()));
    EXPECT_EQ(dlg.m_lastRecordDate, "10/08/2014");
    EXPECT_EQ(dlg.m_lastRecordTime, "09:05:12");
    EXPECT_EQ(dlg.m_list.GetItemState(0, LVIS_SELECTED | LVIS_FOCUSED),
              LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_TRUE(Enabled(IDC_PRINT_ONE_PAGE));
    EXPECT_TRUE(Enabled(IDC_EXPORT_EXCEL));
}

INSTANTIATE_TEST_SUITE_P(Cases, FetchLoop, ::testing::ValuesIn(kFetchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureTest, AFetchOfNothingOnlySetsTheRecordCount) {
    Open();
    dlg.m_recordNumber = 3;
    dlg.m_runningSum = 30;
    dlg.m_recordCount = 9;
    Tick({});
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
    EXPECT_EQ(dlg.m_recordNumber, 3);
    EXPECT_EQ(dlg.m_runningSum, 30);
    EXPECT_EQ(dlg.m_recordCount, 0u);
    EXPECT_TRUE(dlg.m_message.empty());
    EXPECT_TRUE(Enabled(IDC_EXPORT_EXCEL));
    EXPECT_FALSE(Enabled(IDC_PRINT_ONE_PAGE));

    // A failed fetch (machine silent) changes nothing at all.
    dlg.m_recordCount = 9;
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.m_recordCount, 9u);
}

TEST_F(CaptureTest, TheRuleFollowsTheBoxAsLastSaved) {
    Open();
    ASSERT_EQ(dlg.IsDlgButtonChecked(IDC_SPECIAL_COUNT), 1u);
    dlg.CheckDlgButton(IDC_SPECIAL_COUNT, BST_UNCHECKED);  // clicked off, not saved
    Tick({7, 7});
    EXPECT_EQ(Column(1), std::vector<std::string>{"7"});
    dlg.SendCommand(IDC_SAVE);
    Tick({7, 7});
    EXPECT_EQ(Column(1), (std::vector<std::string>{"7", "7", "7"}));
}

TEST_F(CaptureTest, NumbersGoOnAfterDelListRecords) {
    Open();
    Tick({1, 2, 3, 4, 5});
    dlg.SendCommand(IDC_DEL_LIST_RECORDS);
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
    EXPECT_EQ(dlg.m_recordNumber, 5);
    EXPECT_EQ(Text(IDC_TOTAL_SUM), "15");
    Tick({10});
    EXPECT_EQ(Column(0), std::vector<std::string>{"6"});
    EXPECT_EQ(Column(2), std::vector<std::string>{"25"});
}

TEST_F(CaptureTest, ARowKeepsItsOperatorAndARecordPutsTheFieldsBackIntoTheEdits) {
    Open();
    dlg.m_operator = "A1";
    Tick({4});
    // Typed but not yet taken: the next record shows the field again.
    dlg.SetDlgItemText(IDC_OPERATOR, "B2");
    dlg.SetDlgItemText(IDC_PRODUCT_BATCH, "typed");
    Tick({5});
    EXPECT_EQ(Column(3), (std::vector<std::string>{"A1", "A1"}));
    EXPECT_EQ(Text(IDC_OPERATOR), "A1");
    EXPECT_EQ(Text(IDC_PRODUCT_BATCH), "");
    dlg.m_operator = "C3";
    Tick({6});
    EXPECT_EQ(Column(3), (std::vector<std::string>{"C3", "A1", "A1"}));
}

TEST_F(CaptureTest, CountersWrapPastTheLargest32BitNumber) {
    Open();
    dlg.m_recordNumber = INT_MAX;
    dlg.m_runningSum = INT_MAX - 5;
    dlg.m_specialCount = 0;
    Tick({10, INT_MIN});
    EXPECT_EQ(Column(0), (std::vector<std::string>{"-2147483647", "-2147483648"}));
    // INT_MAX - 5 + 10 wraps to INT_MIN + 4; adding INT_MIN wraps to 4.
    EXPECT_EQ(Column(2), (std::vector<std::string>{"4", "-2147483644"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"-2147483648", "10"}));
    EXPECT_EQ(WrapAdd(INT_MIN, -1), INT_MAX);
    EXPECT_EQ(WrapAdd(-3, 5), 2);
}

TEST_F(CaptureTest, AFetchCountAboveTheBufferTakesInOnlyWhatTheBufferHolds) {
    Open();
    dlg.m_specialCount = 0;
    std::vector<int> values(20001);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int>(i % 7) + 1;
    Tick(values);  // the stand-in reports 20001 and fills the 20000 places
    EXPECT_EQ(dlg.m_list.GetItemCount(), 20000);
    EXPECT_EQ(dlg.m_recordCount, 20000u);
    EXPECT_EQ(dlg.m_recordNumber, 20000);
    EXPECT_EQ(dlg.m_list.GetItemText(0, 1), std::to_string(19999 % 7 + 1));
}
