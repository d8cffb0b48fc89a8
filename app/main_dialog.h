// CMytallydeskDlg: the program's one window. Its fields hold the counters,
// the label texts and the day log's place; the controls show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/dialog.h"

class CRange;
class CWorksheet;
namespace automation {
struct Status;
}

// a + b on 32-bit counters, wrapping past 2147483647 to -2147483648.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b);

class CMytallydeskDlg : public CDialog {
  public:
    explicit CMytallydeskDlg(CWnd* parent = nullptr);

    // The close sequence: disconnect, save the settings, then destroy.
    BOOL DestroyWindow() override;

    // Settings store: read once at start, written at SAVE, Del Log File and
    // close.
    void LoadSettings();
    // False when the settings file could not be written (its message has
    // been shown).
    bool SaveSettings();
    // Chooses the day log, creates it with its header when missing; when it
    // cannot be created the window ends as by Cancel.
    void OpenDayLog();
    // Day log writers; a day log that cannot be opened is skipped silently.
    void WriteLogLine(std::string text);
    void WriteBatchHeader();
    void WriteBatchEnd();
    // Run by each capture tick.
    void PollRecords();
    // One fetch from the machine taken into the list: the capture tick's
    // form also writes each quantity to the day log before its row.
    void FetchRecords(bool fromCaptureTimer);
    // The fetch loop over n values (SPECIAL_COUNT pairs merged when the
    // saved setting is on).
    void TakeInValues(const int* values, std::size_t n, bool fromCaptureTimer);
    // One record row on top of the list, its day log line and a refresh.
    void AddRecordRow(std::string number, std::string quantity, std::string sum, std::string op);

    // ---- fields, in declaration order ----
    CListCtrl m_list;
    CEdit m_messageEdit;
    std::uint32_t m_recordCount;
    std::uint32_t m_sumOfCard;
    std::string m_message;
    std::string m_customerId;
    std::string m_cardCount;
    std::string m_boxNum;
    std::string m_boxCount;
    std::string m_operator;
    std::string m_productBatch;
    std::uint32_t m_printStartBoxNum;
    std::uint32_t m_printEndBoxNum;
    std::int32_t m_totalRecordCount;
    std::int32_t m_totalSum;
    std::string m_logHeader;
    std::string m_logPath;
    std::string m_logFolder;
    std::string m_logDate;
    std::string m_logDir;
    std::int32_t m_specialCount;
    std::string m_exportType;
    std::int32_t m_recordNumber;
    std::int32_t m_runningSum;
    std::int32_t m_capturing;
    CFont m_titleFont;
    std::string m_lastRecordDate;
    std::string m_lastRecordTime;
    HICON m_hIcon;
    CStatic m_logo;
    CStatic m_title;

    // ---- handlers (public so that tests can drive them directly) ----
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnConnectMachine();
    void OnDisconnect();
    void OnGetRecord();
    void OnGetRecordState();
    void OnDestroy();
    void OnClearMessage();
    void OnPrintOnePage();
    void OnExportExcel();
    void OnDelLogFile();
    void OnListClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTestAdd();
    void OnPrintSingle();
    void OnDelListRecords();
    void OnTimer(UINT_PTR nIDEvent);
    void OnStartCapture();
    void OnEndBatch();
    void OnSave();
    void OnSetLogFileLocation();

    // CSV export of the record list (Export EXCEL when the export type is
    // "csv"): a Save dialog, then one line per row, newest first.
    void ExportCsv();
    // Card count of box n for its page label: the trimmed SINGLE QUANTITY
    // of list row m_recordNumber - n, blank when there is no such row.
    std::string GetBoxCardCount(std::int32_t boxNumber);

    // The Excel export's sheet filling: formats the worksheet and writes the
    // title, the column headers and every list row into it, with the wait
    // window shown meanwhile; `range` is its working range. False when the
    // list held no records (warned about) or when the server refused a call
    // (`*refusal` then holds it).
    bool FillRecordSheet(CWorksheet& sheet, CRange& range, automation::Status* refusal);

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
