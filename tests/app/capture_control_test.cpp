// The capture handlers with a stand-in machine: the three states and their
// buttons, the messages, the fetch on demand, the machine's counters, the
// made-up record, SAVE and the click on a record.
#include <sys/stat.h>

#include <QAccessible>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "capture_fixture.h"
#include "link/tallylink.h"

namespace {

struct Buttons {
    bool connect, getRecord, getState, disconnect, capture;
    const char* caption;
    bool timer;
};

const Buttons kDisconnected{true, false, false, false, false, "START_CAPTURE", false};
const Buttons kConnected{false, true, true, true, true, "START_CAPTURE", false};
const Buttons kCapturing{false, true, true, true, true, "STOP_CAPTURE", true};

const char kFetchLine[] = "------09:05:12 Get New Reocrd:-------- \r\n";

}  // namespace

class CaptureStates : public CaptureTest {
  protected:
    void Expect(const Buttons& b, const char* where) {
        EXPECT_EQ(Enabled(IDC_CONNECT_MACHINE), b.connect) << where;
        EXPECT_EQ(Enabled(IDC_GET_RECORD), b.getRecord) << where;
        EXPECT_EQ(Enabled(IDC_GET_RECORD_STATE), b.getState) << where;
        EXPECT_EQ(Enabled(IDC_DISCONNECT), b.disconnect) << where;
        EXPECT_EQ(Enabled(IDC_START_CAPTURE), b.capture) << where;
        EXPECT_EQ(Text(IDC_START_CAPTURE), b.caption) << where;
        EXPECT_TRUE(Enabled(IDC_END_BATCH)) << where;
        EXPECT_EQ(dlg.HasTimer(1), b.timer) << where;
        EXPECT_EQ(dlg.m_capturing, b.timer ? 1 : 0) << where;
    }
};

TEST_F(CaptureStates, EveryTransitionLeavesItsButtonsAndCaption) {
    Open();
    Expect(kDisconnected, "start");

    dlg.SendCommand(IDC_CONNECT_MACHINE);  // the library answers 0
    Expect(kDisconnected, "connect failed");
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{"NRV7350K Card Counter Not Connected, Failed!"});
    EXPECT_EQ(dialogs.shown[0].caption, "Note");

    device.connectResult = 1;
    bool stillDisconnectedWhileShown = false;
    dialogs.whileShown = [&](const ScriptedDialogs::ShownBox&) {
        stillDisconnectedWhileShown = Enabled(IDC_CONNECT_MACHINE) && !Enabled(IDC_GET_RECORD);
    };
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    dialogs.whileShown = nullptr;
    EXPECT_TRUE(stillDisconnectedWhileShown);
    EXPECT_EQ(dialogs.shown.back().text, "NRV7350K Card Counter Connected, Success!");
    EXPECT_EQ(dialogs.shown.back().caption, "Note");
    Expect(kConnected, "connected");

    dlg.SendCommand(IDC_START_CAPTURE);
    Expect(kCapturing, "capturing");
    dlg.SendCommand(IDC_START_CAPTURE);
    Expect(kConnected, "stopped");
    dlg.SendCommand(IDC_START_CAPTURE);
    dlg.SendCommand(IDC_END_BATCH);
    Expect(kConnected, "batch ended while capturing");
    dlg.SendCommand(IDC_START_CAPTURE);
    dlg.SendCommand(IDC_DISCONNECT);
    Expect(kDisconnected, "disconnected while capturing");
    EXPECT_EQ(device.disconnects, 1);
    dlg.SendCommand(IDC_END_BATCH);
    Expect(kDisconnected, "batch ended while disconnected");
    EXPECT_EQ(dialogs.shown.size(), 2u);
}

TEST_F(CaptureStates, TheCaptureTimerPollsUntilStopped) {
    Open();
    device.connectResult = 1;
    dlg.SendCommand(IDC_CONNECT_MACHINE);
    device.batches = {{12}, {}, {13, 14}};
    dlg.SendCommand(IDC_START_CAPTURE);
    QElapsedTimer waited;
    waited.start();
    while (device.recordCalls < 3 && waited.elapsed() < 20000) QTest::qWait(20);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"14", "13", "12"}));
    dlg.SendCommand(IDC_START_CAPTURE);
    const int calls = device.recordCalls;
    QTest::qWait(1000);
    EXPECT_EQ(device.recordCalls, calls);  // stopped
}

TEST_F(CaptureTest, ATickWithRecordsAppendsOneFetchLineAndShowsTheCount) {
    Open();
    Tick({10, 20, 30});
    EXPECT_EQ(Column(1), (std::vector<std::string>{"30", "20", "10"}));
    EXPECT_EQ(dlg.m_message, kFetchLine);
    EXPECT_EQ(Text(IDC_MESSAGE), kFetchLine);
    EXPECT_EQ(Text(IDC_RECORD_COUNT), "3");
    EXPECT_TRUE(Enabled(IDC_EXPORT_EXCEL));

    dlg.SendCommand(IDC_CLEAR_MESSAGE);
    EXPECT_EQ(dlg.m_message, "");
    EXPECT_EQ(Text(IDC_MESSAGE), "");
}

TEST_F(CaptureTest, AMessagePaneOver20000CharactersIsClearedByTheNextRecords) {
    Open();
    dlg.m_message = std::string(20000, 'x');
    Tick({1});
    EXPECT_EQ(dlg.m_message, std::string(20000, 'x') + kFetchLine);  // not over: kept

    dlg.m_message = std::string(20001, 'y');
    Tick({});  // nothing delivered: left alone
    EXPECT_EQ(dlg.m_message.size(), 20001u);
    Tick({2});
    EXPECT_EQ(dlg.m_message, kFetchLine);
    EXPECT_EQ(Text(IDC_MESSAGE), kFetchLine);
}

TEST_F(CaptureTest, GetRecordAnsweredNoRestartsTheNumbering) {
    Open();
    Tick({5, 6, 7});
    dialogs.answers = {IDNO};
    device.batches.push_back({10, 20});
    dlg.SendCommand(IDC_GET_RECORD);
    EXPECT_EQ(dialogs.shown.back().text, "Extend the Record Count ?");
    EXPECT_EQ(dialogs.shown.back().caption, "tallydesk");
    EXPECT_EQ(dialogs.shown.back().type & 0xF, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"2", "1", "3", "2", "1"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"30", "10", "18", "11", "5"}));
    EXPECT_EQ(dlg.m_message, std::string(kFetchLine) + kFetchLine);

    // Answered No and nothing waiting: the totals still show the old figures
    // while the next record will be number 1.
    dialogs.answers = {IDNO};
    device.batches.push_back({});
    dlg.SendCommand(IDC_GET_RECORD);
    EXPECT_EQ(Text(IDC_TOTAL_RECORD_COUNT), "2");
    EXPECT_EQ(Text(IDC_TOTAL_SUM), "30");
    EXPECT_EQ(dlg.m_recordNumber, 0);
    Tick({4});
    EXPECT_EQ(Column(0).front(), "1");
}

TEST_F(CaptureTest, GetRecordStateShowsTheMachinesCounters) {
    Open();
    device.stateResult = 0;
    dlg.SendCommand(IDC_GET_RECORD_STATE);
    EXPECT_EQ(Text(IDC_SUM_OF_CARD), "0");
    device.stateResult = 1;
    device.cardSum = 777;
    device.recordCount = 3;
    dlg.SendCommand(IDC_GET_RECORD_STATE);
    EXPECT_EQ(Text(IDC_SUM_OF_CARD), "777");
    EXPECT_EQ(Text(IDC_RECORD_COUNT), "3");
    EXPECT_EQ(device.stateCalls, 2);
}

TEST_F(CaptureTest, TestAddMakesUpRecordsOfAHundred) {
    Open();
    Tick({5, 6});
    dialogs.answers = {IDNO};
    dlg.SendCommand(IDC_TEST_ADD);
    EXPECT_EQ(dialogs.shown.back().text, "是否记录累加？");
    EXPECT_EQ(dialogs.shown.back().caption, "tallydesk");
    EXPECT_EQ(Column(0).front(), "1");
    EXPECT_EQ(Column(1).front(), "1001");
    EXPECT_EQ(Column(2).front(), "100");
    EXPECT_EQ(Text(IDC_RECORD_COUNT), "3");                      // 2 delivered, then one more
    for (int i = 0; i < 11; ++i) dlg.SendCommand(IDC_TEST_ADD);  // Yes
    EXPECT_EQ(Column(1).front(), "10012");
    EXPECT_EQ(Column(2).front(), "1200");
    EXPECT_EQ(Text(IDC_TOTAL_SUM), "1200");
    EXPECT_EQ(Text(IDC_BOX_NUM), "12");
}

TEST_F(CaptureTest, EndBatchClearsTheListCountersAndPaneButNotTheOtherEdits) {
    Open();
    Tick({5, 6});
    dlg.SetDlgItemText(IDC_OPERATOR, "typed");
    dlg.SendCommand(IDC_END_BATCH);
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
    EXPECT_EQ(dlg.m_recordNumber, 0);
    EXPECT_EQ(dlg.m_runningSum, 0);
    EXPECT_EQ(Text(IDC_TOTAL_SUM), "0");
    EXPECT_EQ(Text(IDC_TOTAL_RECORD_COUNT), "0");
    EXPECT_EQ(Text(IDC_MESSAGE), "");
    EXPECT_EQ(Text(IDC_OPERATOR), "typed");
    EXPECT_EQ(Text(IDC_RECORD_COUNT), "2");
}

TEST_F(CaptureTest, SaveReportsSuccessOnlyWhenTheSettingsFileWasWritten) {
    Open();
    dlg.SetDlgItemText(IDC_PRODUCT_BATCH, "B07");
    dlg.SetDlgItemText(IDC_OPERATOR, "12");
    dlg.SendCommand(IDC_SAVE);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Save parameter success !"});
    EXPECT_EQ(dialogs.shown[0].caption, "Card Manage");
    EXPECT_NE(Settings().find("BatchNo=B07\r\n"), std::string::npos);
    const std::string header = Lines({"------08/10/2014  09:05  BATCH -------- ",
                                      "ProductBatch:B07", "Operator:12", "SCAN RESULT:"});
    EXPECT_EQ(DayLog(), "--NEW_RECORD LOG FILE-- \r\n" + header);

    chmod((location.Folder() + "tallydesk.ini").c_str(), 0444);
    dlg.SetDlgItemText(IDC_OPERATOR, "13");
    dlg.SendCommand(IDC_SAVE);
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"Save parameter success !", "Cannot save Ini file!"}));
    // The batch header is written all the same, with the values just taken.
    EXPECT_NE(DayLog().find("Operator:13\r\n"), std::string::npos);
}

class ListClick : public CaptureTest {
  protected:
    // A real mouse click on the list, on the row with that NUMBER or, with
    // a blank number, below the last row.
    void ClickRow(const std::string& number) {
        auto* view = static_cast<QAbstractItemView*>(dlg.m_list.Widget());
        QPoint at;
        if (number.empty()) {
            const QRect last =
                view->visualRect(view->model()->index(view->model()->rowCount() - 1, 0));
            at = QPoint(last.center().x(), last.bottom() + 20);
        } else {
            const int row = RowOf(number);
            ASSERT_GE(row, 0) << number;
            at = view->visualRect(view->model()->index(row, 1)).center();
        }
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
};

TEST_F(ListClick, ARowSetsThePrintRangeAndTheRecordFields) {
    Open();
    dlg.Widget()->show();
    dlg.m_specialCount = 0;
    Tick({11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    const struct {
        const char* number;
        unsigned start, end;
        const char* card;
    } cases[] = {{"3", 1, 3, "13"}, {"10", 5, 10, "20"}, {"6", 1, 6, "16"}};
    for (const auto& c : cases) {
        ClickRow(c.number);
        EXPECT_EQ(dlg.m_printStartBoxNum, c.start) << c.number;
        EXPECT_EQ(dlg.m_printEndBoxNum, c.end) << c.number;
        EXPECT_EQ(Text(IDC_PRINT_START_BOX_NUM), std::to_string(c.start)) << c.number;
        EXPECT_EQ(dlg.m_boxNum, c.number);
        EXPECT_EQ(Text(IDC_CARD_COUNT), c.card);
        EXPECT_EQ(dlg.m_lastRecordDate, "10/08/2014");
        EXPECT_EQ(dlg.m_lastRecordTime, "09:05:12");
        EXPECT_TRUE(Enabled(IDC_PRINT_ONE_PAGE));
        EXPECT_TRUE(Enabled(IDC_PRINT_SINGLE));
    }

    // Beside the rows: Print One Page off, Card Count cleared, Print Single
    // as it was.
    ClickRow("");
    EXPECT_FALSE(Enabled(IDC_PRINT_ONE_PAGE));
    EXPECT_TRUE(Enabled(IDC_PRINT_SINGLE));
    EXPECT_EQ(Text(IDC_CARD_COUNT), "");
    EXPECT_EQ(dlg.m_lastRecordDate, "");
    EXPECT_EQ(dlg.m_lastRecordTime, "");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ListClick, TheClickTakesTheTypedFieldsAndGoesOnAfterABadNumber) {
    Open();
    dlg.Widget()->show();
    Tick({4});
    dlg.SetDlgItemText(IDC_OPERATOR, "Op9");
    dlg.SetDlgItemText(IDC_PRINT_END_BOX_NUM, "many");
    ClickRow("1");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"请输入一个正整数。"});
    EXPECT_EQ(dlg.m_operator, "Op9");  // taken before the bad edit
    EXPECT_EQ(dlg.m_printEndBoxNum, 1u);
    EXPECT_EQ(Text(IDC_PRINT_END_BOX_NUM), "1");
}

TEST_F(CaptureTest, TheRowsSelectedByTheProgramReachTheViewAndItsAccessibleTable) {
    Open();
    dlg.Widget()->show();
    Tick({1, 2, 3});
    QApplication::processEvents();
    auto* view = static_cast<QAbstractItemView*>(dlg.m_list.Widget());
    EXPECT_EQ(view->currentIndex().row(), 0);
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), 0);
    EXPECT_EQ(view->model()->data(view->model()->index(0, 1)).toString(), "3");

    // What assistive technology reads: a table whose selected row is the
    // newest record.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->selectedRows(), QList<int>{0});
    QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "3");
}

// The device library's report, shown by the real message box: the window
// stays usable while it is open (the box has no owner and disables
// nothing), and the reporting call returns once it is dismissed.
TEST_F(CaptureTest, TheFailureReportLeavesTheWindowUsable) {
    Open();
    dlg.Widget()->show();
    dlg.SendCommand(IDC_TEST_ADD);
    ASSERT_EQ(dlg.m_list.GetItemCount(), 1);
    ScopedSeam<MessageBoxService> realBoxes(nullptr);

    bool boxSeen = false;
    bool windowBlocked = true;
    QTimer::singleShot(50, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
        if (!box) return;
        boxSeen = box->windowTitle() == "Application Error" && box->text() == "ReadFile() failed" &&
                  box->icon() == QMessageBox::Critical;
        windowBlocked = QApplication::activeModalWidget() != nullptr;
        // A real click on the window while the report is open.
        QTest::mouseClick(dlg.GetDlgItem(IDC_DEL_LIST_RECORDS)->Widget(), Qt::LeftButton);
        box->button(QMessageBox::Ok)->click();
    });
    tallylink_show_failure("ReadFile() failed", "Application Error");
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(windowBlocked);
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
}
