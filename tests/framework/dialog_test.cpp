// Dialogs from templates: layout in dialog units, control states, modal
// runs, the list control, fonts and the Save dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include "framework/file_dialog.h"
#include "framework/testing/scripted.h"
#include "test_dialog.h"

namespace {

TEST(DialogLayout, FixedsysBaseUnitsAreCloseToEightByFifteen) {
    CTestDlg dlg;
    dlg.Create();
    const QSize base = dlg.BaseUnits();
    EXPECT_NEAR(base.width(), 8, 1);
    EXPECT_NEAR(base.height(), 15, 1);
    // 200 x 120 units; a control at 10,10 of 50 x 14.
    EXPECT_EQ(dlg.Widget()->size(), QSize(200 * base.width() / 4, 120 * base.height() / 8));
    QWidget* edit = dlg.GetDlgItem(IDC_T_UNSIGNED)->Widget();
    EXPECT_EQ(edit->geometry(), dlg.MapDialogRect(10, 10, 50, 14));
    EXPECT_EQ(edit->objectName(), "ctl1100");
    EXPECT_EQ(edit->accessibleName(), "Unsigned");
    EXPECT_TRUE(dlg.Widget()->windowFlags() & Qt::FramelessWindowHint);
    dlg.DestroyWindow();
}

TEST(DialogLayout, TemplateStatesAndControlsById) {
    CTestDlg dlg;
    dlg.Create();
    CWnd* hidden = dlg.GetDlgItem(IDC_T_HIDDEN);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(hidden->IsWindowVisible());
    EXPECT_FALSE(hidden->IsWindowEnabled());
    EXPECT_TRUE(dlg.GetDlgItem(IDC_T_BUTTON)->IsWindowVisible());
    EXPECT_EQ(dlg.GetDlgItem(4711), nullptr);

    hidden->ShowWindow(SW_SHOW);
    hidden->EnableWindow(TRUE);
    EXPECT_TRUE(hidden->IsWindowVisible());
    EXPECT_TRUE(hidden->IsWindowEnabled());
    dlg.SetDlgItemText(IDC_T_BUTTON, "Again");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_T_BUTTON), "Again");
    dlg.CheckDlgButton(IDC_T_CHECK, BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_T_CHECK), 1u);
    dlg.DestroyWindow();
}

TEST(DialogModal, EndDialogInOnInitDialogNeverRunsTheLoopButStillDestroys) {
    class EndsAtOnce : public CTestDlg {
      public:
        BOOL OnInitDialog() override {
            CTestDlg::OnInitDialog();
            EndDialog(IDCANCEL);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"destroy"});
}

TEST(DialogModal, RunsUntilEscAndReturnsTheResult) {
    CTestDlg dlg;
    bool wasRunning = false;
    QTimer::singleShot(0, [&] {
        wasRunning = dlg.IsModalLoopRunning();
        QWidget* edit = dlg.GetDlgItem(IDC_T_TEXT)->Widget();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(edit, &esc);
    });
    QTimer guard;  // never hang the test run
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { dlg.EndDialog(-99); });
    guard.start(10000);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(wasRunning);
    EXPECT_EQ(dlg.calls.back(), "destroy");
}

TEST(ListControl, ReportViewRowsColumnsAndStates) {
    CTestDlg dlg;
    dlg.Create();
    CListCtrl& list = dlg.m_list;
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(list.InsertColumn(0, "NUMBER", LVCFMT_CENTER, 90), 0);
    EXPECT_EQ(list.InsertColumn(1, "QTY", LVCFMT_LEFT, 140), 1);
    EXPECT_EQ(list.GetColumnHeading(1), "QTY");
    EXPECT_EQ(list.GetColumnWidth(0), 90);
    auto* table = static_cast<QTableWidget*>(list.Widget());
    EXPECT_TRUE(table->showGrid());
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);

    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(list.InsertItem(0, std::to_string(i)), 0);
        list.SetItemText(0, 1, "q" + std::to_string(i));
    }
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(0, 0), "3");  // newest on top
    EXPECT_EQ(list.GetItemText(2, 1), "q1");
    EXPECT_EQ(list.GetItemText(7, 0), "");  // no such row
    list.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
    dlg.DestroyWindow();
}

TEST(Fonts, NamedFacesMapToInstalledOnes) {
    CFont title;
    title.CreateFont(24, 0, 0, 0, FW_BOLD, TRUE, FALSE, 0, ANSI_CHARSET, OUT_TT_ONLY_PRECIS,
                     CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH, "Calibri");
    const QFontInfo info(title.Get());
    EXPECT_EQ(info.family(), "Carlito");
    EXPECT_TRUE(info.bold());
    EXPECT_TRUE(info.italic());
    EXPECT_NEAR(QFontMetrics(title.Get()).height(), 24, 2);
    EXPECT_TRUE(QFontInfo(DialogFont("Fixedsys", 12)).fixedPitch());
    EXPECT_EQ(QFontInfo(DialogFont("宋体", 9)).family(), "WenQuanYi Micro Hei");
}

TEST(SaveDialog, AsksWithFilterFolderAndExtensionAndAppendsItToABareName) {
    ScriptedDialogs dialogs;
    ScopedSeam<FileDialogService> seam(&dialogs);
    dialogs.savePaths = {std::string("/tmp/out/records"), std::string("/tmp/out/r.xls"),
                         std::nullopt};
    CFileDialog save(FALSE, "xlsx", "Record", OFN_OVERWRITEPROMPT,
                     "Excel (*.xlsx)|*.xlsx|All|*.*||");
    save.m_ofn.lpstrInitialDir = "/tmp/out";
    ASSERT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), "/tmp/out/records.xlsx");
    EXPECT_EQ(save.GetFileName(), "records.xlsx");
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].filter, "Excel (*.xlsx)|*.xlsx|All|*.*||");
    EXPECT_EQ(dialogs.saveRequests[0].initialFolder, "/tmp/out");
    EXPECT_EQ(dialogs.saveRequests[0].fileName, "Record");
    ASSERT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), "/tmp/out/r.xls");
    EXPECT_EQ(save.DoModal(), IDCANCEL);

    dialogs.folders = {std::string("/var/log/tally")};
    std::string folder;
    EXPECT_TRUE(BrowseForFolder("Modify log file location", &folder));
    EXPECT_EQ(folder, "/var/log/tally");
    EXPECT_FALSE(BrowseForFolder("Modify log file location", &folder));
    EXPECT_EQ(dialogs.folderTitles.size(), 2u);
}

TEST(MessageBoxes, ScriptedAnswersThenTheFirstButton) {
    ScriptedDialogs dialogs;
    ScopedSeam<MessageBoxService> seam(&dialogs);
    TempProgramLocation location("tallydesk");
    ScopedSeam<ProgramLocation> where(&location);
    dialogs.answers = {IDNO};
    EXPECT_EQ(AfxMessageBox("Extend?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox("Again?", MB_YESNO | MB_ICONQUESTION), IDYES);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].caption, "tallydesk");
    EXPECT_EQ(dialogs.shown[1].type & MB_ICONMASK, MB_ICONQUESTION);
}

TEST(ProgramLocationSeam, DefaultIsTheFolderOfTheRunningProgram) {
    EXPECT_EQ(GetProgramBaseName(), "framework_test");
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    TempProgramLocation location("tallydesk");
    ScopedSeam<ProgramLocation> where(&location);
    EXPECT_EQ(GetProgramFolder(), location.Folder());
    EXPECT_EQ(AfxGetAppName(), "tallydesk");
}

}  // namespace

namespace {

TEST(MessageBoxes, AWindowsBoxTakesItsCaptionOrTheApplicationName) {
    ScriptedDialogs dialogs;
    ScopedSeam<MessageBoxService> seam(&dialogs);
    TempProgramLocation location("tallydesk");
    ScopedSeam<ProgramLocation> where(&location);
    CTestDlg dlg;
    dlg.Create();
    dialogs.answers = {IDNO};
    EXPECT_EQ(dlg.MessageBox("Connected", "Note", MB_OK), IDNO);
    dlg.MessageBox("Extend the Record Count ?", "", MB_YESNO);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].caption, "Note");
    EXPECT_EQ(dialogs.shown[1].caption, "tallydesk");
    dlg.DestroyWindow();
}

}  // namespace

namespace {

// A modeless progress window over an owner, as the exports show one.
TEST(ModelessDialog, OwnedWindowWithCaptionAndProgress) {
    DialogTemplate t;
    t.id = 129;
    t.cx = 187;
    t.cy = 98;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.title = "Please Wait";
    t.fontFace = "System";
    t.pointSize = 10;
    t.controls = {
        {IDOK, ControlClass::Button, "OK", 130, 61, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, ""},
        {1024, ControlClass::Static, "", 7, 18, 173, 12, WS_VISIBLE | SS_LEFT, ""},
        {1026, ControlClass::Progress, "", 13, 50, 159, 12, WS_VISIBLE | WS_BORDER, ""},
    };
    CTestDlg owner;
    owner.Create();
    CDialog wait(t, &owner);
    ASSERT_TRUE(wait.Create());
    EXPECT_EQ(wait.Widget()->parentWidget(), owner.Widget());
    EXPECT_FALSE(wait.Widget()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(wait.Widget()->pos(), owner.Widget()->pos());
    EXPECT_FALSE(wait.Widget()->isVisible());  // not visible in the template
    wait.ShowWindow(SW_SHOW);
    EXPECT_EQ(wait.Widget()->windowTitle(), "Please Wait");
    auto* progress = static_cast<CProgressCtrl*>(wait.GetDlgItem(1026));
    progress->SetRange(0, 100);
    EXPECT_EQ(progress->SetPos(40), 0);
    EXPECT_EQ(progress->SetPos(140), 40);
    EXPECT_EQ(progress->GetPos(), 100);
    wait.SetDlgItemText(1024, "Exporting Record Data,Please Wait...");
    wait.Invalidate();
    wait.UpdateWindow();
    EXPECT_EQ(wait.GetDlgItemText(1024), "Exporting Record Data,Please Wait...");
    EXPECT_FALSE(wait.GetDlgItem(IDOK)->IsWindowVisible());
    EXPECT_TRUE(wait.DestroyWindow());
    owner.DestroyWindow();
}

}  // namespace
