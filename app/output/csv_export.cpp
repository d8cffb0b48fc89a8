// CSV export of the record list: a Save dialog, then one line per row,
// newest record first, the file opened and closed for every line.
#include <cstdint>

#include "app/main_dialog.h"
#include "app/output/csv_writer.h"
#include "app/output/wait_dialog.h"
#include "framework/file_dialog.h"

namespace {

constexpr char kCsvFilter[] = "(*.csv)|*.csv|All Files (*.*)|*.*||";

}  // namespace

void CMytallydeskDlg::ExportCsv() {
    std::string path;
    // A name that exists is refused and the dialog comes back until the
    // operator gives a new one or cancels.
    for (;;) {
        // The chosen folder must exist; a new file name must pass, since
        // the export creates the file itself. No overwrite prompt: an
        // existing name is refused below, never overwritten or appended to.
        CFileDialog dialog(FALSE, "csv", nullptr, OFN_HIDEREADONLY, kCsvFilter, this);
        if (dialog.DoModal() != IDOK) return;
        path = dialog.GetPathName();
        // Whatever exists under the name is refused, also a file this user
        // cannot read: appending the export to an unrelated file would
        // spoil both.
        if (!ExportTargetExists(path)) break;
        MessageBox("已存在同名文件");
    }

    // Counted now, after the dialog: the capture may have added rows on top
    // while it was open, and a count taken before would cut the oldest
    // records off the end of the file.
    const int rows = m_list.GetItemCount();

    CWaitDialog wait(this);
    wait.Create();
    wait.ShowWindow(SW_SHOW);
    wait.SetMessage("Exporting Record Data,Please Wait...");
    // No event loop runs during the export: draw the window before it.
    wait.Invalidate(TRUE);
    wait.UpdateWindow();

    for (int i = 0; i < rows; ++i) {
        CsvRow cells;
        for (int col = 0; col < 5; ++col) cells[col] = m_list.GetItemText(i, col);
        std::string error;
        if (!AppendCsvLine(path, CsvLine(cells), &error)) {
            // The lines written so far stay; one message, not one per row.
            wait.Close();
            MessageBox("Cannot write the file " + path + (error.empty() ? "" : ": " + error));
            return;
        }
        wait.SetProgress(static_cast<int>(std::int64_t{100} * (i + 1) / rows));
    }
    wait.Close();
}
