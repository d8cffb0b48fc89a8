// The "Export EXCEL" button: the record list into a formatted workbook,
// built by driving the spreadsheet server through automation, or handed to
// the CSV export when the export type says "csv".
#include "app/output/excel_export.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/main_dialog.h"
#include "app/output/excel_wrappers.h"
#include "app/output/wait_dialog.h"
#include "automation/com_runtime.h"
#include "automation/excel_dispids.h"
#include "automation/utf.h"
#include "framework/file_dialog.h"
#include "framework/seams.h"

using automation::Status;
using automation::Variant;

namespace {

constexpr const char* kExportFolder = "Export Files";
constexpr const char* kWorkbookFilter = "Excel 文件(*.xls)|*.xls|All Files(*.*)|*.*||";
constexpr std::size_t kMaxSheetNameUnits = 31;
// The list's column texts are read through a buffer of 100 characters.
constexpr std::size_t kMaxHeaderCharacters = 99;

// Bytes in the UTF-8 sequence that starts with `lead` (the text is well
// formed here).
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    return 2;
}

std::string FormatTime(const std::tm& time, const char* format) {
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, format, &time);
    return std::string(text, n);
}

// The server's own words for a refused call; a server that gives none
// still gets a message with its result code.
std::string RefusalText(const Status& status) {
    if (!status.text.empty()) return status.text;
    char text[80];
    std::snprintf(text, sizeof text, "The spreadsheet server refused a call (error 0x%08X).",
                  static_cast<unsigned>(status.code));
    return text;
}

// Stops the enclosing function at the first refused call, handing back the
// server's status.
#define EXPORT_TRY(call)                   \
    do {                                   \
        Status status_ = (call);           \
        if (!status_.ok()) return status_; \
    } while (0)

}  // namespace

// ---- names ----

std::string CutToCharacters(const std::string& text, std::size_t limit) {
    const std::string clean = automation::SanitizeUtf8(text);
    std::size_t pos = 0;
    for (std::size_t count = 0; pos < clean.size() && count < limit; ++count)
        pos += SequenceLength(static_cast<unsigned char>(clean[pos]));
    return clean.substr(0, pos);
}

std::string RecordSheetName(const std::tm& start, const std::string& operatorText) {
    // Operator texts may hold bytes that are not UTF-8; they count as one
    // replacement character each, as the server counts them.
    const std::string name =
        automation::SanitizeUtf8(FormatTime(start, "%Y%m%d %H%M%S") + "_OPERATOR_" + operatorText);
    std::string fitted;
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(name[pos]));
        const std::size_t width = length == 4 ? 2 : 1;  // a surrogate pair in UTF-16
        if (units + width > kMaxSheetNameUnits) break;
        units += width;
        const char c = name[pos];
        if (length == 1 &&
            (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']'))
            fitted += '_';
        else
            fitted.append(name, pos, length);
        pos += length;
    }
    // The name starts with digits; only its end can be an apostrophe.
    if (!fitted.empty() && fitted.back() == '\'') fitted.back() = '_';
    return fitted;
}

std::string WorkbookSavePath(const std::string& chosen) {
    if (chosen.find(".xls") != std::string::npos) return chosen;
    return chosen + ".xls";
}

// ---- the export ----

void CMytallydeskDlg::OnExportExcel() {
    if (m_exportType == "csv") {
        ExportCsv();
        return;
    }
    const Variant missing = Variant::Missing();
    std::string bookName;

    // The runtime never refuses to initialise a thread; a thread that was
    // initialised before is no failure either. Each call is balanced below.
    automation::InitializeThread();

    CApplication app;
    if (!app.CreateDispatch(automation::kExcelProgId).ok()) {
        MessageBox("Create Excel service failed!", "Note", MB_ICONWARNING);
        automation::UninitializeThread();
        return;
    }
    CWorkbooks books;
    CWorkbook book;
    CWorksheets sheets;
    CWorksheet sheet;
    CRange range;

    // Builds, fills and saves the workbook; the first refused call ends it.
    auto build = [&]() -> Status {
        EXPORT_TRY(app.put_Visible(false));
        EXPORT_TRY(app.get_Workbooks(&books));
        EXPORT_TRY(books.Add(missing, &book));
        EXPORT_TRY(book.get_Name(&bookName));
        EXPORT_TRY(book.get_Worksheets(&sheets));
        // The workbook keeps only its first worksheet; a new one may have
        // fewer than three (the server's or the user's setting), and
        // deleting one that is not there would be refused.
        std::int32_t count = 0;
        EXPORT_TRY(sheets.get_Count(&count));
        for (std::int16_t index : {std::int16_t{3}, std::int16_t{2}}) {
            if (count < index) continue;
            EXPORT_TRY(sheets.get_Item(Variant::I2(index), &sheet));
            EXPORT_TRY(sheet.Delete());
        }
        EXPORT_TRY(sheets.get_Item(Variant::I2(1), &sheet));

        Status refusal;
        if (!FillRecordSheet(sheet, range, &refusal)) return refusal;

        const std::string folder = GetProgramFolder() + kExportFolder;
        std::error_code ec;
        if (!std::filesystem::exists(folder, ec)) std::filesystem::create_directory(folder, ec);

        // Default extension "xls": a bare name typed into the dialog becomes
        // a workbook name; no name is proposed.
        CFileDialog dialog(FALSE, "xls", nullptr, 0, kWorkbookFilter, this);
        dialog.m_ofn.lpstrInitialDir = folder;
        if (dialog.DoModal() != IDOK) return Status::Ok();
        const std::string path = WorkbookSavePath(dialog.GetPathName());
        return book.SaveAs(Variant::Bstr(path), missing, missing, missing, missing, missing, 0,
                           missing, missing, missing, missing, missing);
    };
    const Status built = build();

    // Whatever happened, the workbook is closed unsaved (the file on disk
    // holds what SaveAs wrote), the server told to quit and the thread
    // uninitialised, so the next export starts afresh. Refusals on the way
    // out do not stop the rest of the way out.
    Status closing;
    if (book.attached()) {
        closing = book.Close(Variant::I4(0), Variant::Bstr(bookName), missing);
    }
    if (books.attached()) {
        const Status s = books.Close();
        if (closing.ok()) closing = s;
    }
    const Status quit = app.Quit();
    if (closing.ok()) closing = quit;
    range.ReleaseDispatch();
    sheet.ReleaseDispatch();
    sheets.ReleaseDispatch();
    book.ReleaseDispatch();
    books.ReleaseDispatch();
    app.ReleaseDispatch();
    automation::UninitializeThread();

    // The refusal is shown once nothing of the export is left running.
    const Status& shown = built.ok() ? closing : built;
    if (!shown.ok()) MessageBox(RefusalText(shown), "", MB_ICONEXCLAMATION);
}

bool CMytallydeskDlg::FillRecordSheet(CWorksheet& sheet, CRange& range, Status* refusal) {
    *refusal = Status::Ok();
    const std::tm start = LocalNow();
    if (m_list.GetItemCount() == 0) {
        MessageBox("No record Data，Can not Export!", "Note", MB_ICONWARNING | MB_TOPMOST);
        return false;
    }

    // The wait window lives until the sheet is filled or a call is refused.
    struct WaitWindow {
        explicit WaitWindow(CWnd* owner) : dialog(std::make_unique<CWaitDialog>(owner)) {}
        ~WaitWindow() { dialog->Close(); }
        std::unique_ptr<CWaitDialog> dialog;
    } wait(this);
    wait.dialog->Create();
    wait.dialog->ShowWindow(SW_SHOW);
    wait.dialog->SetMessage("Exporting Record Data,Please Wait...");
    wait.dialog->Invalidate(TRUE);
    wait.dialog->UpdateWindow();

    const Variant missing = Variant::Missing();
    auto fill = [&]() -> Status {
        EXPORT_TRY(sheet.put_Name(RecordSheetName(start, m_operator)));

        const int rows = m_list.GetItemCount();
        CRange columns;
        EXPORT_TRY(sheet.get_Columns(&columns));
        for (int c = 1; c <= 5; ++c) {
            Variant column;
            EXPORT_TRY(columns.get_Item(Variant::I4(c), missing, &column));
            range.AttachDispatch(column.object());
            EXPORT_TRY(range.put_ColumnWidth(Variant::I4(20)));
        }

        CExcelFont font;
        CInterior interior;
        EXPORT_TRY(sheet.get_Range(Variant::Bstr("A1"), Variant::Bstr("G1"), &range));
        EXPORT_TRY(range.Merge(Variant::I4(0)));
        EXPORT_TRY(range.put_RowHeight(Variant::I4(24)));
        EXPORT_TRY(range.get_Font(&font));
        EXPORT_TRY(font.put_Name(Variant::Bstr("宋体")));
        EXPORT_TRY(font.put_ColorIndex(Variant::I4(11)));  // navy
        EXPORT_TRY(font.put_Size(Variant::I4(16)));
        EXPORT_TRY(font.put_Bold(Variant::I4(1)));
        EXPORT_TRY(range.get_Interior(&interior));
        EXPORT_TRY(interior.put_Color(Variant::R8(52479.0)));  // FFCC00
        EXPORT_TRY(range.put_Item(
            Variant::I4(1), Variant::I4(1),
            Variant::Bstr(FormatTime(start, "%Y-%m-%d %H:%M:%S Card Counter Record"))));

        EXPORT_TRY(sheet.get_Range(Variant::Bstr("A2"), Variant::Bstr("G2"), &range));
        EXPORT_TRY(range.put_RowHeight(Variant::I4(18)));
        EXPORT_TRY(range.get_Font(&font));
        EXPORT_TRY(font.put_Bold(Variant::I4(1)));
        EXPORT_TRY(range.get_Interior(&interior));
        EXPORT_TRY(interior.put_Color(Variant::R8(10092543.0)));  // FFFF99
        // Row 1 of this range is sheet row 2.
        const int headers = m_list.GetColumnCount();
        for (int k = 0; k < headers; ++k) {
            EXPORT_TRY(range.put_Item(
                Variant::I4(1), Variant::I4(k + 1),
                Variant::Bstr(CutToCharacters(m_list.GetColumnHeading(k), kMaxHeaderCharacters))));
        }

        EXPORT_TRY(sheet.get_Cells(&range));
        for (int i = 0; i < rows; ++i) {
            wait.dialog->SetProgress(
                static_cast<int>(100LL * (static_cast<long long>(i) + 1) / rows));
            for (int j = 0; j < 5; ++j) {
                EXPORT_TRY(range.put_Item(Variant::I4(i + 3), Variant::I4(j + 1),
                                          Variant::Bstr(m_list.GetItemText(i, j))));
            }
        }

        EXPORT_TRY(sheet.get_UsedRange(&range));
        EXPORT_TRY(range.put_HorizontalAlignment(Variant::I4(automation::excel::kAlignCenter)));
        EXPORT_TRY(range.put_VerticalAlignment(Variant::I4(automation::excel::kAlignCenter)));
        return Status::Ok();
    };
    *refusal = fill();
    return refusal->ok();
}

#undef EXPORT_TRY
