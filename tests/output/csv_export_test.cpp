// CSV export through the main window: the Save dialog it asks, the lines it
// writes, the names it refuses and what a reader makes of the file.
#include <QApplication>
#include <QEvent>
#include <QProcess>
#include <QProgressBar>

#include "app/resource.h"
#include "main_window_fixture.h"
#include "scratch_folder.h"

namespace {

const char kFilter[] = "(*.csv)|*.csv|All Files (*.*)|*.*||";

class CsvExportTest : public MainWindowTest {
  protected:
    CsvExportTest() { dlg.Create(); }
    ~CsvExportTest() override { dlg.DestroyWindow(); }

    // A record row on top of the list, as the capture puts it there.
    void AddRow(const std::string& number, const std::string& quantity, const std::string& sum,
                const std::string& op, const std::string& time) {
        dlg.m_list.InsertItem(0, number);
        dlg.m_list.SetItemText(0, 1, quantity);
        dlg.m_list.SetItemText(0, 2, sum);
        dlg.m_list.SetItemText(0, 3, op);
        dlg.m_list.SetItemText(0, 4, time);
    }
    void AddThreeRecords() {
        AddRow("1", "100", "100", "A7", "2014-08-10 09:05:01");
        AddRow("2", "50", "150", "A7", "2014-08-10 09:05:02");
        AddRow("3", "1", "151", "A7", "2014-08-10 09:05:03");
    }

    ScratchFolder out;
    CMytallydeskDlg dlg;
};

const char kThreeLines[] =
    "3,1,151,A7,2014-08-10 09:05:03\r\n"
    "2,50,150,A7,2014-08-10 09:05:02\r\n"
    "1,100,100,A7,2014-08-10 09:05:01\r\n";

TEST_F(CsvExportTest, RecordsNewestFirstWithoutHeader) {
    AddThreeRecords();
    dialogs.savePaths = {out / "records.csv"};
    dlg.ExportCsv();

    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    const SaveFileRequest& asked = dialogs.saveRequests[0];
    EXPECT_EQ(asked.defaultExt, "csv");
    EXPECT_EQ(asked.filter, kFilter);
    EXPECT_EQ(asked.fileName, "");
    EXPECT_FALSE(asked.overwritePrompt);
    EXPECT_EQ(ReadBytes(out / "records.csv"), kThreeLines);
    EXPECT_TRUE(dialogs.shown.empty());
    // The wait window is gone again; the list is as it was.
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->windowTitle() == "Please Wait" && w->isVisible());
    EXPECT_EQ(dlg.m_list.GetItemCount(), 3);
}

// Watches the wait window being drawn while the export runs (no event loop
// turns then, so every paint is one the export forced): whether the file
// had lines yet, and where the bar stood.
class WaitWindowPaints : public QObject {
  public:
    explicit WaitWindowPaints(std::string file) : file_(std::move(file)) {
        qApp->installEventFilter(this);
    }
    ~WaitWindowPaints() override { qApp->removeEventFilter(this); }

    struct Paint {
        bool window;       // the window itself, else its bar
        int bar;           // the bar's position
        size_t fileBytes;  // the export file's size at that moment
    };
    std::vector<Paint> paints;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Paint || !widget ||
            widget->window()->windowTitle() != "Please Wait")
            return false;
        auto* bar = widget->window()->findChild<QProgressBar*>();
        paints.push_back({widget->isWindow(), bar ? bar->value() : -1, ReadBytes(file_).size()});
        return false;
    }

  private:
    std::string file_;
};

// The wait window is drawn before the first line is written, and its bar
// then advances, never backwards, to the end.
TEST_F(CsvExportTest, WaitWindowIsDrawnFirstAndItsBarOnlyAdvances) {
    for (int n = 1; n <= 7; ++n)
        AddRow(std::to_string(n), "1", std::to_string(n), "A7", "2014-08-10 09:05:01");
    dialogs.savePaths = {out / "records.csv"};
    WaitWindowPaints watch(out / "records.csv");
    dlg.ExportCsv();

    ASSERT_FALSE(watch.paints.empty());
    EXPECT_TRUE(watch.paints.front().window);
    EXPECT_EQ(watch.paints.front().fileBytes, 0u);
    EXPECT_EQ(watch.paints.front().bar, 0);
    int last = 0;
    for (const auto& p : watch.paints) {
        EXPECT_GE(p.bar, last);
        last = p.bar;
    }
    EXPECT_EQ(last, 100);
}

// The Export EXCEL button writes CSV when the export type is exactly "csv".
TEST_F(CsvExportTest, ExportButtonWritesCsvForTheCsvExportType) {
    AddThreeRecords();
    dlg.m_exportType = "csv";
    dialogs.savePaths = {out / "records.csv"};
    dlg.SendCommand(IDC_EXPORT_EXCEL);
    EXPECT_EQ(ReadBytes(out / "records.csv"), kThreeLines);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].filter, kFilter);
}

TEST_F(CsvExportTest, NameWithoutExtensionGetsCsv) {
    AddThreeRecords();
    dialogs.savePaths = {out / "records"};
    dlg.ExportCsv();
    EXPECT_EQ(ReadBytes(out / "records.csv"), kThreeLines);
    EXPECT_FALSE(PathExists(out / "records"));
}

// Exporting twice to one name: the second time the name is refused and the
// dialog comes back; the first file keeps its lines, another name is taken.
TEST_F(CsvExportTest, ExistingNameIsRefusedAndTheDialogComesBack) {
    AddThreeRecords();
    dialogs.savePaths = {out / "records.csv"};
    dlg.ExportCsv();
    dialogs.savePaths = {out / "records.csv", out / "again.csv"};
    dlg.ExportCsv();

    EXPECT_EQ(dialogs.saveRequests.size(), 3u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "已存在同名文件");
    EXPECT_EQ(dialogs.shown[0].caption, "tallydesk");
    EXPECT_EQ(dialogs.shown[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(ReadBytes(out / "records.csv"), kThreeLines);
    EXPECT_EQ(ReadBytes(out / "again.csv"), kThreeLines);

    // Refused, then cancelled: nothing more is written anywhere.
    dialogs.savePaths = {out / "again.csv", std::nullopt};
    dlg.ExportCsv();
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(ReadBytes(out / "again.csv"), kThreeLines);
}

// Whatever exists under the name is refused, not only a readable file: a
// folder, or a link pointing nowhere, is never written through.
TEST_F(CsvExportTest, AnythingExistingUnderTheNameIsRefused) {
    AddThreeRecords();
    std::filesystem::create_directory(out / "folder.csv");
    std::filesystem::create_symlink(out / "missing-target.csv", out / "dangling.csv");
    dialogs.savePaths = {out / "folder.csv", out / "dangling.csv", std::nullopt};
    dlg.ExportCsv();
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"已存在同名文件", "已存在同名文件"}));
    EXPECT_FALSE(PathExists(out / "missing-target.csv"));
}

TEST_F(CsvExportTest, CancelOrNoRecordsWritesNoFile) {
    dialogs.savePaths = {std::nullopt};
    dlg.ExportCsv();
    dialogs.savePaths = {out / "empty.csv"};
    dlg.ExportCsv();
    EXPECT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_FALSE(PathExists(out / "empty.csv"));
    EXPECT_TRUE(dialogs.shown.empty());
}

// A file that cannot be written is named once and the export stops.
TEST_F(CsvExportTest, UnwritableFileIsReportedOnce) {
    AddThreeRecords();
    const std::string path = out / "no-such-folder/records.csv";
    dialogs.savePaths = {path};
    dlg.ExportCsv();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find(path), std::string::npos) << dialogs.shown[0].text;
    EXPECT_FALSE(PathExists(path));
}

// Records the capture adds while the Save dialog is open go to the top of
// the list; the export counts the rows when it starts writing, so the
// oldest record is still the file's last line.
class AddsRowWhileOpen : public ScriptedDialogs {
  public:
    std::function<void()> meanwhile;
    bool SaveFileName(QWidget* owner, const SaveFileRequest& request, std::string* path) override {
        if (meanwhile) meanwhile();
        return ScriptedDialogs::SaveFileName(owner, request, path);
    }
};

TEST_F(CsvExportTest, RowsAddedWhileTheDialogIsOpenAreWrittenToo) {
    AddThreeRecords();
    AddsRowWhileOpen picker;
    picker.meanwhile = [this] { AddRow("4", "9", "160", "A7", "2014-08-10 09:05:04"); };
    picker.savePaths = {out / "records.csv"};
    ScopedSeam<FileDialogService> seam(&picker);
    dlg.ExportCsv();
    EXPECT_EQ(ReadBytes(out / "records.csv"),
              std::string("4,9,160,A7,2014-08-10 09:05:04\r\n") + kThreeLines);
}

// A cell holding a comma or a quote is quoted, so a CSV reader sees the
// same five fields that the list shows; the other cells stay as they are.
TEST_F(CsvExportTest, CellsWithCommasAndQuotesReadBackAsFiveFields) {
    AddRow("1", "100", "100", "Li, Wei", "2014-08-10 09:05:01");
    AddRow("2", "50", "150", "say \"hi\"", "2014-08-10 09:05:02");
    dialogs.savePaths = {out / "records.csv"};
    dlg.ExportCsv();
    EXPECT_EQ(ReadBytes(out / "records.csv"),
              "2,50,150,\"say \"\"hi\"\"\",2014-08-10 09:05:02\r\n"
              "1,100,100,\"Li, Wei\",2014-08-10 09:05:01\r\n");

    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import csv,sys\n"
                  "for row in csv.reader(open(sys.argv[1], newline='', encoding='utf-8')):\n"
                  "    print('|'.join(row))\n",
                  QString::fromStdString(out / "records.csv")});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput().toStdString(),
              "2|50|150|say \"hi\"|2014-08-10 09:05:02\n"
              "1|100|100|Li, Wei|2014-08-10 09:05:01\n");
}

}  // namespace
