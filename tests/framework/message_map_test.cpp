// Message routing: buttons, the list click, system commands, Enter and Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "framework/testing/scripted.h"
#include "test_dialog.h"

// clang-format off
BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_BN_CLICKED(IDC_T_BUTTON, &CTestDlg::OnPress)
    ON_NOTIFY(NM_CLICK, IDC_T_LIST, &CTestDlg::OnListClick)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()
// clang-format on

namespace {

class MessageMapTest : public ::testing::Test {
  protected:
    void SetUp() override { dlg.Create(); }
    void TearDown() override { dlg.DestroyWindow(); }
    QWidget* Ctl(int id) { return dlg.GetDlgItem(id)->Widget(); }

    ScriptedDialogs dialogs;
    ScopedSeam<MessageBoxService> boxes{&dialogs};
    CTestDlg dlg;
};

TEST_F(MessageMapTest, ButtonClickReachesItsHandlerAndUnmappedControlsNothing) {
    QTest::mouseClick(Ctl(IDC_T_BUTTON), Qt::LeftButton);
    QTest::mouseClick(Ctl(IDC_T_CHECK), Qt::LeftButton);  // no entry: only the box changes
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"press"});
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_T_CHECK), 1u);
}

TEST_F(MessageMapTest, ListClickNotifiesTheRowUnderThePointerOrMinusOneBesideTheRows) {
    dlg.m_list.InsertColumn(0, "A", LVCFMT_LEFT, 60);
    dlg.m_list.InsertItem(0, "first");
    dlg.m_list.InsertItem(0, "second");  // on top
    auto* table = static_cast<QTableWidget*>(Ctl(IDC_T_LIST));
    const QRect row1 = table->visualRect(table->model()->index(1, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(dlg.lastItem, 1);
    EXPECT_EQ(dlg.m_list.GetItemText(1, 0), "first");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      QPoint(5, table->viewport()->height() - 3));
    EXPECT_EQ(dlg.lastItem, -1);
}

TEST_F(MessageMapTest, EnterRunsOkWhichTakesTheFieldsAndEnds) {
    dlg.SetDlgItemText(IDC_T_UNSIGNED, "42");
    QTest::keyClick(Ctl(IDC_T_TEXT), Qt::Key_Return);
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), IDOK);
    EXPECT_EQ(dlg.m_unsigned, 42u);
}

TEST_F(MessageMapTest, EnterWithABadNumberStaysOpen) {
    dlg.SetDlgItemText(IDC_T_SIGNED, "x");
    QTest::keyClick(Ctl(IDC_T_TEXT), Qt::Key_Return);
    EXPECT_FALSE(dlg.HasEnded());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"请输入一个整数。"});
}

TEST_F(MessageMapTest, EnterOnAFocusedButtonPressesThatButton) {
    QTest::keyClick(Ctl(IDC_T_BUTTON), Qt::Key_Return);
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"press"});
    EXPECT_FALSE(dlg.HasEnded());
}

TEST_F(MessageMapTest, EnterInAMultiLineEditWithoutWantReturnIsOk) {
    QTest::keyClick(Ctl(IDC_T_MULTI), Qt::Key_Return);
    EXPECT_TRUE(dlg.HasEnded());
}

TEST_F(MessageMapTest, EscIsCancelWithoutTakingFields) {
    dlg.SetDlgItemText(IDC_T_UNSIGNED, "letters");
    QTest::keyClick(Ctl(IDC_T_UNSIGNED), Qt::Key_Escape);
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(dlg.m_unsigned, 7u);
}

TEST_F(MessageMapTest, AltSpaceOpensTheSystemMenuWhoseCloseIsCancel) {
    dlg.GetSystemMenu(FALSE)->AppendMenu(MF_SEPARATOR);
    dlg.GetSystemMenu(FALSE)->AppendMenu(MF_STRING, 0x10, "About(&A)...");
    QTest::keyClick(Ctl(IDC_T_TEXT), Qt::Key_Space, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions()) texts << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(texts,
              (QStringList{"&Move", "Mi&nimize", "-", "&Close\tAlt+F4", "-", "About(&A)..."}));

    menu->actions()[5]->trigger();
    menu->close();
    QTest::qWait(20);  // the command runs once the menu has closed
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"sys16"});
    EXPECT_FALSE(dlg.HasEnded());

    dlg.SendSysCommand(SC_CLOSE);
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
}

TEST_F(MessageMapTest, TheWindowManagersCloseIsTheSystemMenusClose) {
    dlg.Widget()->close();
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"sys" + std::to_string(SC_CLOSE)});
    EXPECT_TRUE(dlg.HasEnded());
}

TEST(MessageMapDestroy, DestroyWindowSendsTheDestroyMessageOnce) {
    CTestDlg dlg;
    dlg.Create();
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_FALSE(dlg.DestroyWindow());
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"destroy"});
    EXPECT_EQ(dlg.GetDlgItem(IDC_T_TEXT), nullptr);
}

}  // namespace
