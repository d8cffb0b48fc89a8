// The main window under the offscreen platform: its controls after start-up,
// the settings it loads and saves, the day log it opens, every way it ends.
#include <sys/stat.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/about_dialog.h"
#include "app/resource.h"
#include "main_window_fixture.h"

namespace {

struct ControlState {
    int id;
    const char* text;  // nullptr: not checked (edits hold field values)
    bool visible;
    bool enabled;
};

// After start-up, disconnected: the buttons of a connection and of printing
// and export are disabled, the two test buttons hidden.
const ControlState kStartStates[] = {
    {IDCANCEL, "EXIT", true, true},
    {IDC_CONNECT_MACHINE, "Connect Machine", true, true},
    {IDC_GET_RECORD, "GetRecord", true, false},
    {IDC_GET_RECORD_STATE, "GetRecordState", false, false},
    {IDC_DISCONNECT, "Disconnect", true, false},
    {IDC_RECORD_COUNT, "0", true, true},
    {IDC_SUM_OF_CARD, "0", true, true},
    {IDC_MESSAGE, "", true, true},
    {IDC_CLEAR_MESSAGE, "Clear Message", true, true},
    {IDC_PRINT_ONE_PAGE, "Print One Page", true, false},
    {IDC_EXPORT_EXCEL, "Export EXCEL", true, false},
    {IDC_CUSTOMER_ID, "", true, true},
    {IDC_PRODUCT_BATCH, "", true, true},
    {IDC_BOX_NUM, "", true, true},
    {IDC_OPERATOR, "", true, true},
    {IDC_BOX_COUNT, "", true, true},
    {IDC_CARD_COUNT, "", true, true},
    {IDC_RECORD_LIST, nullptr, true, true},
    {IDC_DEL_LOG_FILE, "Del Log File", true, true},
    {IDC_TEST_ADD, "TEST-ADD", false, true},
    {IDC_PRINT_START_BOX_NUM, "1", true, true},
    {IDC_PRINT_END_BOX_NUM, "1", true, true},
    {IDC_PRINT_SINGLE, "Print Single", true, false},
    {IDC_DEL_LIST_RECORDS, "Del List Records", true, true},
    {IDC_TOTAL_RECORD_COUNT, "0", true, true},
    {IDC_TOTAL_SUM, "0", true, true},
    {IDC_START_CAPTURE, "START_CAPTURE", true, false},
    {IDC_END_BATCH, "END_BATCH", true, true},
    {IDC_SAVE, "SAVE", true, true},
    {IDC_SET_LOG_FILE_LOCATION, "SET_LOG_FILE_LOCATION", true, true},
    {IDC_SPECIAL_COUNT, "SPECIAL_COUNT", true, true},
    {IDC_LOG_DIR, "", true, true},  // the log folder, blank by default
    {IDC_LOGO, nullptr, true, true},
    {IDC_TITLE, "NRV7350k Card Counter Manager", true, true},
};

const char* const kLabels[] = {"Record Count",
                               "Sum Of Card",
                               "CustomerID",
                               "P_Batch",
                               "Box_Num",
                               "Operator",
                               "Box_Count",
                               "Card Count",
                               "Print_Start_Box_Num",
                               "Print_End_Box_Num",
                               "Total_Record_Count",
                               "Total_SUM",
                               "LOG_FILE_LOCATION"};

TEST_F(MainWindowTest, StartUpShowsEveryControlWithItsTextAndState) {
    CMytallydeskDlg dlg;
    dlg.Create();
    for (const ControlState& c : kStartStates) {
        CWnd* item = dlg.GetDlgItem(c.id);
        ASSERT_NE(item, nullptr) << c.id;
        EXPECT_EQ(item->Widget()->objectName().toStdString(), "ctl" + std::to_string(c.id));
        if (c.text) {
            EXPECT_EQ(item->GetWindowText(), c.text) << c.id;
        }
        EXPECT_EQ(item->IsWindowVisible() != 0, c.visible) << c.id;
        EXPECT_EQ(item->IsWindowEnabled() != 0, c.enabled) << c.id;
    }
    QStringList labels;
    for (QLabel* l : dlg.Widget()->findChildren<QLabel*>("ctl-1")) labels << l->text();
    for (const char* text : kLabels) EXPECT_TRUE(labels.contains(text)) << text;
    auto* group = dlg.Widget()->findChild<QGroupBox*>("ctl-1");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "Counter Record State");

    // Edits are announced by the label beside them.
    EXPECT_EQ(dlg.GetDlgItem(IDC_OPERATOR)->Widget()->accessibleName(), "Operator");
    EXPECT_EQ(dlg.GetDlgItem(IDC_MESSAGE)->Widget()->accessibleName(), "Message");

    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_SPECIAL_COUNT), 1u);
    EXPECT_EQ(dlg.m_specialCount, 1);
    EXPECT_EQ(dlg.m_capturing, 0);

    // Title font, logo, record list.
    const QFontInfo title(dlg.GetDlgItem(IDC_TITLE)->Widget()->font());
    EXPECT_EQ(title.family(), "Carlito");
    EXPECT_TRUE(title.bold());
    EXPECT_TRUE(title.italic());
    EXPECT_EQ(dlg.m_logo.GetBitmap().size(), QSize(140, 27));
    ASSERT_EQ(dlg.m_list.GetColumnCount(), 5);
    const char* headings[] = {"NUMBER", "SINGLE QUANTITY", "SUM OF COUNT", "OPERATOR",
                              "RECORD TIME"};
    const int widths[] = {90, 140, 130, 100, 180};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dlg.m_list.GetColumnHeading(i), headings[i]);
        EXPECT_EQ(dlg.m_list.GetColumnWidth(i), widths[i]);
    }
    EXPECT_EQ(dlg.m_list.GetExtendedStyle(), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    auto* table = static_cast<QTableWidget*>(dlg.m_list.Widget());
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);

    // System menu: the about entry after a separator; no title bar.
    const auto& items = dlg.GetSystemMenu(FALSE)->Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_TRUE(items[items.size() - 2].flags & MF_SEPARATOR);
    EXPECT_EQ(items.back().id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(items.back().text, "关于 tallydesk(&A)...");
    EXPECT_TRUE(dlg.Widget()->windowFlags() & Qt::FramelessWindowHint);

    // The day log, in the Record folder beside the program.
    EXPECT_EQ(dlg.m_logPath, location.Folder() + "Record/2014-08-10.log");
    EXPECT_EQ(dlg.m_logFolder, location.Folder() + "Record/");
    EXPECT_EQ(location.Read("Record/2014-08-10.log"), std::string("--NEW_RECORD LOG FILE-- \r\n"));
    EXPECT_TRUE(dialogs.shown.empty());
    dlg.DestroyWindow();
}

TEST_F(MainWindowTest, MissingLogoLeavesThePictureBlank) {
    std::filesystem::remove(location.Folder() + "NRV_LOGO.bmp");
    CMytallydeskDlg dlg;
    dlg.Create();
    EXPECT_TRUE(dlg.m_logo.GetBitmap().isNull());
    EXPECT_TRUE(dialogs.shown.empty());
    dlg.DestroyWindow();
}

// The example of the settings file with a blank log folder (the built-in
// default on Linux).
const char kSavedExample[] =
    "[Card Counter]\r\nCount=12\r\nSum=3456\r\nSpecialCount=1\r\nDIR_LOG=\r\n"
    "Filename=2014-08-10\r\nExportType=\r\n\r\n[PrintInf]\r\nCustomerID=C01\r\n"
    "BatchNo=B07\r\nBoxNo=12\r\nBoxTotalNo=20\r\nStampNo=12\r\n\r\n";

TEST_F(MainWindowTest, ExitSavesTheSettingsAndDisconnects) {
    CMytallydeskDlg dlg;
    const int result = RunModal(dlg, [&] {
        dlg.m_recordNumber = 12;
        dlg.m_runningSum = 3456;
        dlg.SetDlgItemText(IDC_RECORD_COUNT, "12");
        dlg.SetDlgItemText(IDC_CUSTOMER_ID, "C01");
        dlg.SetDlgItemText(IDC_PRODUCT_BATCH, "B07");
        dlg.SetDlgItemText(IDC_BOX_COUNT, "20");
        dlg.SetDlgItemText(IDC_OPERATOR, "12");
        dlg.SetDlgItemText(IDC_BOX_NUM, "typed, replaced by Record Count");
        // Running modally without an owner blocks no other window (the folder
        // picker has no owner either).
        EXPECT_EQ(dlg.Widget()->windowModality(), Qt::NonModal);
        QTest::mouseClick(dlg.GetDlgItem(IDCANCEL)->Widget(), Qt::LeftButton);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Settings(), kSavedExample);
    EXPECT_EQ(device.disconnects, 2);  // close sequence, then the destroy handler
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowTest, EveryWayOfEndingSavesTheSettings) {
    const std::pair<const char*, std::function<void(CMytallydeskDlg&)>> ways[] = {
        {"Esc",
         [](CMytallydeskDlg& d) {
             QTest::keyClick(d.GetDlgItem(IDC_OPERATOR)->Widget(), Qt::Key_Escape);
         }},
        {"Enter",
         [](CMytallydeskDlg& d) {
             QTest::keyClick(d.GetDlgItem(IDC_OPERATOR)->Widget(), Qt::Key_Return);
         }},
        {"system menu Close", [](CMytallydeskDlg& d) { d.SendSysCommand(SC_CLOSE); }},
        {"window manager close", [](CMytallydeskDlg& d) { d.Widget()->close(); }},
    };
    for (const auto& [name, way] : ways) {
        std::filesystem::remove(location.Folder() + "tallydesk.ini");
        device.disconnects = 0;
        CMytallydeskDlg dlg;
        const int result = RunModal(dlg, [&] {
            dlg.SetDlgItemText(IDC_OPERATOR, "Op7");
            way(dlg);
        });
        EXPECT_EQ(result, std::string(name) == "Enter" ? IDOK : IDCANCEL) << name;
        EXPECT_NE(Settings().find("StampNo=Op7\r\n"), std::string::npos) << name;
        EXPECT_EQ(device.disconnects, 2) << name;
    }
}

TEST_F(MainWindowTest, EnterWithLettersInPrintStartShowsTheMessageAndStaysOpen) {
    CMytallydeskDlg dlg;
    bool stayedOpen = false;
    bool focusOnBadEdit = false;
    const int result = RunModal(dlg, [&] {
        dlg.SetDlgItemText(IDC_PRINT_START_BOX_NUM, "abc");
        dlg.SetDlgItemText(IDC_TOTAL_SUM, "77");
        QTest::keyClick(dlg.GetDlgItem(IDC_OPERATOR)->Widget(), Qt::Key_Return);
        stayedOpen = dlg.IsModalLoopRunning() && !dlg.HasEnded();
        focusOnBadEdit =
            dlg.Widget()->focusWidget() == dlg.GetDlgItem(IDC_PRINT_START_BOX_NUM)->Widget();
        // Fields after the bad one kept their values.
        EXPECT_EQ(dlg.m_totalSum, 0);
        dlg.SetDlgItemText(IDC_PRINT_START_BOX_NUM, " 3 boxes");
        QTest::keyClick(dlg.GetDlgItem(IDC_OPERATOR)->Widget(), Qt::Key_Return);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"请输入一个正整数。"});
    EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_printStartBoxNum, 3u);
    EXPECT_EQ(dlg.m_totalSum, 77);
    EXPECT_NE(Settings(), "<none>");
    EXPECT_TRUE(focusOnBadEdit);
}

TEST_F(MainWindowTest, ValidationFocusGoesToTheBadEdit) {
    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.SetDlgItemText(IDC_PRINT_END_BOX_NUM, "x");
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.Widget()->focusWidget(), dlg.GetDlgItem(IDC_PRINT_END_BOX_NUM)->Widget());
    dlg.SetDlgItemText(IDC_PRINT_END_BOX_NUM, "4");
    dlg.DestroyWindow();
}

TEST_F(MainWindowTest, DayLogFailureEndsAtOnceAndStillSavesTheSettings) {
    const std::string missing = location.Folder() + "no-such-folder";
    location.Write("tallydesk.ini",
                   "[Card Counter]\r\nCount=5\r\nSum=50\r\nSpecialCount=1\r\nDIR_LOG=" + missing +
                       "\r\nFilename=2014-08-10\r\n");
    scriptRan = false;
    CMytallydeskDlg dlg;
    EXPECT_EQ(RunModal(dlg, nullptr), IDCANCEL);
    QTest::qWait(10);  // let the script timer fire if a loop had run
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Create Log File Failed!"});
    EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
    EXPECT_EQ(device.disconnects, 2);
    const std::string saved = Settings();
    EXPECT_NE(saved.find("DIR_LOG=" + missing + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Count=5\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(MainWindowTest, LoadedSettingsFillFieldsAndControls) {
    const std::string logs = location.Folder() + "logs";
    std::filesystem::create_directory(logs);
    location.Write(
        "tallydesk.ini",
        "[Card Counter]\r\nCount=12\r\nSum=3456\r\nSpecialCount=0\r\nDIR_LOG=" + logs +
            "\r\nFilename=2014-08-10\r\nExportType=csv\r\n\r\n[PrintInf]\r\n"
            "CustomerID=C01\r\nBatchNo=B07\r\nBoxNo=9\r\nBoxTotalNo=20\r\nStampNo=12\r\n\r\n");
    CMytallydeskDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.m_recordNumber, 12);
    EXPECT_EQ(dlg.m_runningSum, 3456);
    EXPECT_EQ(dlg.m_exportType, "csv");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_RECORD_COUNT), "12");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_SUM), "3456");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_CUSTOMER_ID), "C01");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PRODUCT_BATCH), "B07");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_BOX_NUM), "9");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_BOX_COUNT), "20");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_OPERATOR), "12");
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_SPECIAL_COUNT), 0u);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LOG_DIR), logs);
    EXPECT_EQ(dlg.m_logPath, logs + "/2014-08-10.log");
    EXPECT_TRUE(std::filesystem::exists(logs + "/2014-08-10.log"));
    dlg.DestroyWindow();
    // The close wrote the box's state back: still off.
    EXPECT_NE(Settings().find("SpecialCount=0\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, ANewDayRestartsTheCountersButTheTotalsShowTheStoredOnes) {
    location.Write("tallydesk.ini",
                   "[Card Counter]\r\nCount=12\r\nSum=3456\r\nFilename=2014-08-09\r\n");
    CMytallydeskDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.m_recordNumber, 0);
    EXPECT_EQ(dlg.m_runningSum, 0);
    EXPECT_EQ(dlg.m_logDate, "2014-08-10");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_RECORD_COUNT), "12");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TOTAL_SUM), "3456");
    dlg.DestroyWindow();
    EXPECT_NE(Settings().find("Count=0\r\nSum=0\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, AReadOnlySettingsFileIsReportedAndKept) {
    const std::string before = "[Card Counter]\r\nCount=3\r\n";
    location.Write("tallydesk.ini", before);
    chmod((location.Folder() + "tallydesk.ini").c_str(), 0444);
    CMytallydeskDlg dlg;
    RunModal(dlg, [&] { dlg.SendCommand(IDCANCEL); });
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot save Ini file!"});
    EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
    EXPECT_EQ(Settings(), before);
}

TEST_F(MainWindowTest, AboutBoxFromTheSystemMenu) {
    CMytallydeskDlg dlg;
    dlg.Create();
    QString title, text, button;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != "dlg100" || !w->isVisible()) continue;
            title = w->windowTitle();
            // The about box disables its owner, the main window, and no more.
            EXPECT_EQ(w->windowModality(), Qt::WindowModal);
            EXPECT_EQ(w->parentWidget(), dlg.Widget());
            EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
            for (QLabel* l : w->findChildren<QLabel*>())
                if (!l->text().isEmpty()) text = l->text();
            auto* ok = w->findChild<QPushButton*>("ctl1");
            if (ok) {
                button = ok->text();
                QTest::keyClick(ok, Qt::Key_Return);
            }
        }
    });
    dlg.SendSysCommand(IDM_ABOUTBOX);
    EXPECT_EQ(title, "关于 tallydesk");
    EXPECT_EQ(text, "tallydesk 1.0 版");
    EXPECT_EQ(button, "确定");
    dlg.DestroyWindow();
}

}  // namespace

namespace {

TEST_F(MainWindowTest, AltSpaceOpensTheSystemMenuWithTheAboutEntryAfterASeparator) {
    CMytallydeskDlg dlg;
    dlg.Create();
    QTest::keyClick(dlg.GetDlgItem(IDC_OPERATOR)->Widget(), Qt::Key_Space, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "关于 tallydesk(&A)...");
    menu->close();
    dlg.DestroyWindow();
}

TEST_F(MainWindowTest, MinimizedTheIconIsDrawnInTheMiddle) {
    CMytallydeskDlg dlg;
    dlg.Create();
    dlg.Widget()->showMinimized();
    if (!dlg.IsIconic()) GTEST_SKIP() << "this platform does not minimize windows";
    // The window's own painting, without its controls (a minimized window
    // shows no controls).
    QImage picture(dlg.Widget()->size(), QImage::Format_RGB32);
    dlg.Widget()->render(&picture, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    const QPoint middle(picture.width() / 2, picture.height() / 2);
    // The icon's blue band lies just above and right of the middle.
    bool blue = false;
    for (int dx = -16; dx <= 16 && !blue; ++dx)
        for (int dy = -16; dy <= 16 && !blue; ++dy) {
            const QColor c = picture.pixelColor(middle + QPoint(dx, dy));
            blue = c.blue() > 120 && c.red() < 60;
        }
    EXPECT_TRUE(blue);
    dlg.Widget()->showNormal();
    dlg.DestroyWindow();
}

}  // namespace
