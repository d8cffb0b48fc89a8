// Box labels on the default printer: Print Single (the box in the window's
// fields) and Print One Page (up to six boxes of the print range), each one
// job of one page.
#include <memory>

#include "app/main_dialog.h"
#include "app/output/label_layout.h"
#include "app/resource.h"
#include "framework/printing/label_canvas.h"
#include "framework/seams.h"

namespace {

// Disables the button that started a print on every way out of its
// handler; a list click or a new record enables it again.
class DisableOnExit {
  public:
    DisableOnExit(CDialog& dialog, int id) : dialog_(dialog), id_(id) {}
    ~DisableOnExit() {
        if (CWnd* button = dialog_.GetDlgItem(id_)) button->EnableWindow(FALSE);
    }
    DisableOnExit(const DisableOnExit&) = delete;
    DisableOnExit& operator=(const DisableOnExit&) = delete;

  private:
    CDialog& dialog_;
    int id_;
};

// The default printer's device context, or null after telling the
// operator. An entry with fewer than three fields (",,," when no queue is
// the default) is told the same way: printing nothing without a word would
// leave the operator waiting for a label that never comes.
std::unique_ptr<tallyprint::DeviceContext> OpenDefaultPrinter(CWnd& window) {
    PrinterService& printers = Seam<PrinterService>::Get();
    PrinterEntry entry;
    std::unique_ptr<tallyprint::DeviceContext> dc;
    if (ParsePrinterEntry(printers.DefaultPrinterEntry(), entry))
        dc = printers.CreateDC(entry.driver, entry.device, entry.port);
    if (!dc) window.MessageBox("No default Printer,or not install Printer!", "Note", MB_OK);
    return dc;
}

// One job named "printer" of one page. A job the spooler will not start
// prints nothing and says nothing. The large font chosen while painting is
// deselected by the state restore before the page ends.
template <class Paint>
void PrintOnePage(CWnd& window, Paint paint) {
    std::unique_ptr<tallyprint::DeviceContext> dc = OpenDefaultPrinter(window);
    if (!dc) return;
    if (!dc->StartDoc("printer")) return;
    dc->StartPage();
    dc->SaveState();
    tallyprint::DeviceLabelCanvas canvas(*dc);
    paint(canvas);
    dc->RestoreState();
    dc->EndPage();
    dc->EndDoc();
}

LabelFields LabelFieldsOf(const CMytallydeskDlg& w) {
    LabelFields fields;
    fields.customerId = w.m_customerId;
    fields.productBatch = w.m_productBatch;
    fields.boxNum = w.m_boxNum;
    fields.boxCount = w.m_boxCount;
    fields.operatorText = w.m_operator;
    fields.cardCount = w.m_cardCount;
    fields.lastRecordDate = w.m_lastRecordDate;
    fields.lastRecordTime = w.m_lastRecordTime;
    return fields;
}

}  // namespace

std::string CMytallydeskDlg::GetBoxCardCount(std::int32_t boxNumber) {
    // Found by position, not by the NUMBER column: the newest record is
    // row 0, so box n lies in row m_recordNumber - n.
    const int row = BoxRow(m_recordNumber, boxNumber, m_list.GetItemCount());
    if (row < 0) return std::string();
    const std::string text = m_list.GetItemText(row, 1);
    const char* const blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

void CMytallydeskDlg::OnPrintSingle() {
    DisableOnExit disable(*this, IDC_PRINT_SINGLE);
    // A field the exchange rejects has shown its message; a label with the
    // values from before would be wrong, so nothing is printed.
    if (!UpdateData(TRUE)) return;
    const LabelFields fields = LabelFieldsOf(*this);
    PrintOnePage(*this, [&](LabelCanvas& canvas) { PaintSingleLabel(canvas, fields); });
}

void CMytallydeskDlg::OnPrintOnePage() {
    DisableOnExit disable(*this, IDC_PRINT_ONE_PAGE);
    if (!UpdateData(TRUE)) return;
    const LabelFields fields = LabelFieldsOf(*this);
    PrintOnePage(*this, [&](LabelCanvas& canvas) {
        PaintLabelPage(canvas, fields, m_printStartBoxNum, m_printEndBoxNum,
                       [this](std::int32_t box) { return GetBoxCardCount(box); });
    });
}
