// The record list and its counters: adding one count record, taking in the
// values of one fetch, and clearing the rows.
#include <cstdio>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/time_text.h"
#include "framework/seams.h"

std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    // The record number and the running sum are 32-bit; past 2147483647
    // they go on at -2147483648 rather than overflow. The sum is done in
    // unsigned arithmetic, where wrapping is defined, and converted back
    // without relying on how the compiler narrows to a signed type.
    const std::uint32_t sum = static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b);
    return sum <= 0x7FFFFFFFu ? static_cast<std::int32_t>(sum)
                              : static_cast<std::int32_t>(sum - 0x80000000u) - 0x7FFFFFFF - 1;
}

void CMytallydeskDlg::AddRecordRow(std::string number, std::string quantity, std::string sum,
                                   std::string op) {
    const std::tm now = LocalNow();
    const std::string stamp = CurrentTimeString(now);

    m_list.InsertItem(0, number);
    m_list.SetItemText(0, 1, quantity);
    m_cardCount = quantity;
    m_list.SetItemText(0, 2, sum);
    m_list.SetItemText(0, 3, op);
    m_list.SetItemText(0, 4, stamp);

    m_lastRecordDate = RecordDateText(stamp);
    m_lastRecordTime = RecordTimeText(stamp);

    m_list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SetFocus();

    WriteLogLine(quantity);

    GetDlgItem(IDC_PRINT_ONE_PAGE)->EnableWindow(TRUE);
    UpdateData(FALSE);
}

void CMytallydeskDlg::TakeInValues(const int* values, std::size_t n, bool fromCaptureTimer) {
    // The rule follows the SPECIAL_COUNT box as it was last saved, not its
    // live state: the box only reaches m_specialCount through a save.
    const bool mergePairs = m_specialCount != 0;
    for (std::size_t i = 0; i < n; ++i) {
        // The machine reports some runs twice in a row; with the rule on, an
        // equal adjacent pair is one record. Pairs do not overlap: the scan
        // goes on after the second value of a merged pair.
        if (mergePairs && i + 1 < n && values[i] == values[i + 1]) ++i;
        m_recordNumber = WrapAdd(m_recordNumber, 1);
        char quantity[16];
        std::snprintf(quantity, sizeof quantity, "%d", values[i]);
        if (fromCaptureTimer) WriteLogLine(quantity);
        m_runningSum = WrapAdd(m_runningSum, values[i]);
        m_boxNum = std::to_string(m_recordNumber);
        m_totalSum = m_runningSum;
        m_totalRecordCount = m_recordNumber;
        AddRecordRow(std::to_string(m_recordNumber), quantity, std::to_string(m_runningSum),
                     m_operator);
    }
}

void CMytallydeskDlg::OnDelListRecords() { m_list.DeleteAllItems(); }
