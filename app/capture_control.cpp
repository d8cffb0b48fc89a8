// Capture control: connecting to the machine, the capture timer and its
// polls, fetches on demand, the machine's counters, the batch marks in the
// day log, SAVE, the made-up test record and the click on a record.
//
// Three states: disconnected (only Connect Machine), connected (GetRecord,
// GetRecordState, Disconnect and START_CAPTURE enabled) and capturing (the
// same, the capture button reading STOP_CAPTURE and the timer running).
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/device_calls.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/time_text.h"
#include "framework/seams.h"

namespace {

// The capture timer: any timer message is a capture tick.
constexpr UINT_PTR kCaptureTimer = 1;
constexpr UINT kCaptureIntervalMs = 800;

// Room the window hands to the library for one fetch. The library reports
// at most this many, but the count is never trusted to fit.
constexpr std::size_t kFetchBufferSize = 20000;

// Above this many bytes the message pane is emptied before the next fetch
// line, so it never grows without bound; text is never cut partially.
constexpr std::size_t kMessagePaneLimit = 20000;

const char kStartCaption[] = "START_CAPTURE";
const char kStopCaption[] = "STOP_CAPTURE";

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// The leading decimal integer of a text (leading white space and a sign
// allowed); 0 when it does not start with a number. Out-of-range numbers
// are held at the 32-bit limits.
std::int32_t LeadingInteger(const std::string& text) {
    const long long n = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(n, INT32_MIN, INT32_MAX));
}

}  // namespace

void CMytallydeskDlg::OnConnectMachine() {
    if (Device().ConnectDov_Oz_Er() == 1) {
        MessageBox("NRV7350K Card Counter Connected, Success!", "Note", MB_OK);
        // Enabled only after the box is closed: while it is open the window
        // still shows the disconnected state.
        for (int id : {IDC_GET_RECORD_STATE, IDC_GET_RECORD, IDC_DISCONNECT, IDC_START_CAPTURE})
            GetDlgItem(id)->EnableWindow(TRUE);
        GetDlgItem(IDC_CONNECT_MACHINE)->EnableWindow(FALSE);
    } else {
        MessageBox("NRV7350K Card Counter Not Connected, Failed!", "Note", MB_OK);
    }
}

void CMytallydeskDlg::OnDisconnect() {
    // A running capture simply stops: its batch gets no end in the day log.
    KillTimer(kCaptureTimer);
    m_capturing = 0;
    SetDlgItemText(IDC_START_CAPTURE, kStartCaption);
    GetDlgItem(IDC_START_CAPTURE)->EnableWindow(FALSE);

    Device().DisConnectDov_Oz_Er();

    GetDlgItem(IDC_CONNECT_MACHINE)->EnableWindow(TRUE);
    for (int id : {IDC_GET_RECORD_STATE, IDC_GET_RECORD, IDC_DISCONNECT})
        GetDlgItem(id)->EnableWindow(FALSE);
}

void CMytallydeskDlg::OnStartCapture() {
    // Numbering and the running sum go on across batches.
    if (m_capturing == 0) {
        SetDlgItemText(IDC_START_CAPTURE, kStopCaption);
        m_capturing = 1;
        SetTimer(kCaptureTimer, kCaptureIntervalMs);
        WriteBatchHeader();
    } else {
        KillTimer(kCaptureTimer);
        SetDlgItemText(IDC_START_CAPTURE, kStartCaption);
        m_capturing = 0;
        WriteBatchEnd();
    }
}

void CMytallydeskDlg::OnTimer(UINT_PTR nIDEvent) {
    PollRecords();
    CDialog::OnTimer(nIDEvent);
}

void CMytallydeskDlg::PollRecords() { FetchRecords(true); }

void CMytallydeskDlg::FetchRecords(bool fromCaptureTimer) {
    // A fresh buffer per fetch; the library fills values[0..count-1].
    std::vector<int> values(kFetchBufferSize);
    unsigned count = 0;
    // A failed fetch (machine silent, not connected) changes nothing; a
    // running capture tries again at the next tick.
    if (!Device().GetDov_Oz_Er_Record(&count, values.data())) return;

    // The library promises at most the buffer's size, but a larger count
    // must never make the loop read past it.
    const std::size_t n = std::min<std::size_t>(count, kFetchBufferSize);
    m_recordCount = static_cast<std::uint32_t>(n);
    if (n == 0) {
        GetDlgItem(IDC_EXPORT_EXCEL)->EnableWindow(TRUE);
        return;
    }

    const std::tm now = LocalNow();
    char line[64];
    std::snprintf(line, sizeof line, "------%.2d:%.2d:%.2d Get New Reocrd:-------- \r\n",
                  now.tm_hour, now.tm_min, now.tm_sec);
    if (m_message.size() > kMessagePaneLimit) m_message.clear();

    TakeInValues(values.data(), n, fromCaptureTimer);

    m_message += line;
    UpdateData(FALSE);
    GetDlgItem(IDC_EXPORT_EXCEL)->EnableWindow(TRUE);
}

void CMytallydeskDlg::OnGetRecord() {
    // Asked before the machine is read, also when it holds nothing.
    if (MessageBox("Extend the Record Count ?", std::string(), MB_YESNO) == IDNO) {
        // Numbering restarts; the totals edits keep the old figures until
        // the next record arrives.
        m_recordNumber = 0;
        m_runningSum = 0;
    }
    FetchRecords(false);
}

void CMytallydeskDlg::OnGetRecordState() {
    // The library writes through int pointers; the fields are unsigned
    // 32-bit of the same size and representation.
    int cardSum = static_cast<int>(m_sumOfCard);
    int recordCount = static_cast<int>(m_recordCount);
    if (!Device().GetDov_Oz_Er_State(&cardSum, &recordCount)) return;
    m_sumOfCard = static_cast<std::uint32_t>(cardSum);
    m_recordCount = static_cast<std::uint32_t>(recordCount);
    UpdateData(FALSE);
}

void CMytallydeskDlg::OnEndBatch() {
    KillTimer(kCaptureTimer);
    m_capturing = 0;
    // The capture button keeps its enabled state: disconnected it stays off.
    SetDlgItemText(IDC_START_CAPTURE, kStartCaption);

    // Written also without a batch header before it; the SUM line shows the
    // totals before they are cleared.
    WriteBatchEnd();

    m_message.clear();
    m_messageEdit.SetWindowText("");
    m_list.DeleteAllItems();
    m_recordNumber = 0;
    m_runningSum = 0;
    m_totalRecordCount = 0;
    m_totalSum = 0;
    // Only the two totals edits; the other edits keep what the operator may
    // have typed.
    SetDlgItemText(IDC_TOTAL_SUM, "0");
    SetDlgItemText(IDC_TOTAL_RECORD_COUNT, "0");
}

void CMytallydeskDlg::OnSave() {
    const bool saved = SaveSettings();
    // The batch header marks the save in the day log also when the settings
    // file could not be written, with the P_Batch and Operator just taken.
    WriteBatchHeader();
    // After "Cannot save Ini file!" the operator is not told the opposite.
    if (saved) MessageBox("Save parameter success !", "Card Manage", MB_OK);
}

void CMytallydeskDlg::OnTestAdd() {
    // A made-up record, without the machine.
    if (MessageBox("是否记录累加？", std::string(), MB_YESNO) == IDNO) {
        m_recordNumber = 0;
        m_runningSum = 0;
    }
    m_runningSum = WrapAdd(m_runningSum, 100);
    m_recordCount += 1;  // unsigned: wraps by definition
    m_recordNumber = WrapAdd(m_recordNumber, 1);
    m_boxNum = std::to_string(m_recordNumber);
    // "100" and the record number: record 1 reads "1001", record 12 "10012".
    const std::string quantity = "100" + std::to_string(m_recordNumber);
    m_totalSum = m_runningSum;
    m_totalRecordCount = m_recordNumber;
    AddRecordRow(std::to_string(m_recordNumber), quantity, std::to_string(m_runningSum),
                 m_operator);
}

void CMytallydeskDlg::OnListClick(NMHDR* pNMHDR, LRESULT* pResult) {
    // A rejected number has shown its message; the click goes on with the
    // fields taken so far.
    UpdateData(TRUE);

    const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
    const int row = click ? click->iItem : -1;
    const std::string number = row >= 0 ? m_list.GetItemText(row, 0) : std::string();

    if (number.empty()) {
        // Beside the rows: nothing selected for a page. Print Single keeps
        // its state.
        GetDlgItem(IDC_PRINT_ONE_PAGE)->EnableWindow(FALSE);
        m_cardCount.clear();
        m_lastRecordDate.clear();
        m_lastRecordTime.clear();
    } else {
        m_boxNum = number;
        const std::int32_t n = LeadingInteger(number);
        // A page holds up to six labels: the clicked record and the five
        // before it.
        m_printStartBoxNum = n < 6 ? 1u : static_cast<std::uint32_t>(n - 5);
        m_printEndBoxNum = static_cast<std::uint32_t>(n);
        GetDlgItem(IDC_PRINT_ONE_PAGE)->EnableWindow(TRUE);
        GetDlgItem(IDC_PRINT_SINGLE)->EnableWindow(TRUE);
        m_cardCount = Trimmed(m_list.GetItemText(row, 1));
        const std::string stamp = Trimmed(m_list.GetItemText(row, 4));
        m_lastRecordDate = RecordDateText(stamp);
        m_lastRecordTime = RecordTimeText(stamp);
    }

    UpdateData(FALSE);
    if (pResult) *pResult = 0;
}
