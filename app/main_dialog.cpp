#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/day_log.h"
#include "app/device_calls.h"
#include "app/program_resources.h"
#include "app/resource.h"
#include "app/settings/settings_file.h"
#include "app/time_text.h"
#include "framework/app.h"
#include "framework/seams.h"

namespace {

SettingsLocation ProgramSettingsLocation() {
    return SettingsLocation{GetProgramFolder(), GetProgramBaseName()};
}

std::string Today() { return DateOfTimeString(CurrentTimeString(LocalNow())); }

}  // namespace

CMytallydeskDlg::CMytallydeskDlg(CWnd* parent)
    : CDialog(MainDialogTemplate(), parent),
      m_recordCount(0),
      m_sumOfCard(0),
      m_printStartBoxNum(1),
      m_printEndBoxNum(1),
      m_totalRecordCount(0),
      m_totalSum(0),
      m_specialCount(0),
      m_recordNumber(0),
      m_runningSum(0),
      m_capturing(0) {
    RegisterProgramResources();
    m_hIcon = AfxLoadIcon(IDR_MAINFRAME);
}

void CMytallydeskDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RECORD_LIST, m_list);
    DDX_Control(pDX, IDC_MESSAGE, m_messageEdit);
    DDX_Text(pDX, IDC_RECORD_COUNT, m_recordCount);
    DDX_Text(pDX, IDC_SUM_OF_CARD, m_sumOfCard);
    DDX_Text(pDX, IDC_MESSAGE, m_message);
    DDX_Text(pDX, IDC_CUSTOMER_ID, m_customerId);
    DDX_Text(pDX, IDC_CARD_COUNT, m_cardCount);
    DDX_Text(pDX, IDC_BOX_NUM, m_boxNum);
    DDX_Text(pDX, IDC_BOX_COUNT, m_boxCount);
    DDX_Text(pDX, IDC_OPERATOR, m_operator);
    DDX_Text(pDX, IDC_PRODUCT_BATCH, m_productBatch);
    DDX_Text(pDX, IDC_PRINT_START_BOX_NUM, m_printStartBoxNum);
    DDX_Text(pDX, IDC_PRINT_END_BOX_NUM, m_printEndBoxNum);
    DDX_Text(pDX, IDC_TOTAL_RECORD_COUNT, m_totalRecordCount);
    DDX_Text(pDX, IDC_TOTAL_SUM, m_totalSum);
    DDX_Control(pDX, IDC_LOGO, m_logo);
    DDX_Control(pDX, IDC_TITLE, m_title);
}

// clang-format off
BEGIN_MESSAGE_MAP(CMytallydeskDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_CONNECT_MACHINE, &CMytallydeskDlg::OnConnectMachine)
    ON_BN_CLICKED(IDC_DISCONNECT, &CMytallydeskDlg::OnDisconnect)
    ON_BN_CLICKED(IDC_GET_RECORD, &CMytallydeskDlg::OnGetRecord)
    ON_BN_CLICKED(IDC_GET_RECORD_STATE, &CMytallydeskDlg::OnGetRecordState)
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_CLEAR_MESSAGE, &CMytallydeskDlg::OnClearMessage)
    ON_BN_CLICKED(IDC_PRINT_ONE_PAGE, &CMytallydeskDlg::OnPrintOnePage)
    ON_BN_CLICKED(IDC_EXPORT_EXCEL, &CMytallydeskDlg::OnExportExcel)
    ON_BN_CLICKED(IDC_DEL_LOG_FILE, &CMytallydeskDlg::OnDelLogFile)
    ON_NOTIFY(NM_CLICK, IDC_RECORD_LIST, &CMytallydeskDlg::OnListClick)
    ON_BN_CLICKED(IDC_TEST_ADD, &CMytallydeskDlg::OnTestAdd)
    ON_BN_CLICKED(IDC_PRINT_SINGLE, &CMytallydeskDlg::OnPrintSingle)
    ON_BN_CLICKED(IDC_DEL_LIST_RECORDS, &CMytallydeskDlg::OnDelListRecords)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_START_CAPTURE, &CMytallydeskDlg::OnStartCapture)
    ON_BN_CLICKED(IDC_END_BATCH, &CMytallydeskDlg::OnEndBatch)
    ON_BN_CLICKED(IDC_SAVE, &CMytallydeskDlg::OnSave)
    ON_BN_CLICKED(IDC_SET_LOG_FILE_LOCATION, &CMytallydeskDlg::OnSetLogFileLocation)
END_MESSAGE_MAP()
// clang-format on

BOOL CMytallydeskDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The window has no title bar, so the about box hangs off the system
    // menu (Alt+Space).
    const std::string about = AfxLoadString(IDS_ABOUTBOX);
    if (!about.empty()) {
        CMenu* sysMenu = GetSystemMenu(FALSE);
        sysMenu->AppendMenu(MF_SEPARATOR);
        sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_specialCount = 1;
    // There is no drive D: on Linux: a blank log folder puts the day logs in
    // the Record folder beside the program, so a first start without settings
    // runs instead of failing to create its day log.
    m_logDir = "";
    LoadSettings();
    OpenDayLog();

    // The logo beside the program, stretched to 140 x 27 pixels; a missing or
    // unreadable file leaves the picture blank without a word.
    const HBITMAP logo = AfxLoadBitmapFile(GetProgramFolder() + "NRV_LOGO.bmp", 140, 27);
    if (!logo.isNull()) m_logo.SetBitmap(logo);

    m_titleFont.CreateFont(24, 0, 0, 0, FW_BOLD, TRUE, FALSE, 0, ANSI_CHARSET, OUT_TT_ONLY_PRECIS,
                           CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH, "Calibri");
    m_title.SetFont(&m_titleFont, TRUE);

    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "NUMBER", LVCFMT_CENTER, 90);
    m_list.InsertColumn(1, "SINGLE QUANTITY", LVCFMT_LEFT, 140);
    m_list.InsertColumn(2, "SUM OF COUNT", LVCFMT_LEFT, 130);
    m_list.InsertColumn(3, "OPERATOR", LVCFMT_LEFT, 100);
    m_list.InsertColumn(4, "RECORD TIME", LVCFMT_LEFT, 180);

    for (int id : {IDC_PRINT_ONE_PAGE, IDC_PRINT_SINGLE, IDC_EXPORT_EXCEL, IDC_GET_RECORD_STATE,
                   IDC_GET_RECORD, IDC_DISCONNECT})
        GetDlgItem(id)->EnableWindow(FALSE);

    m_capturing = 0;
    return TRUE;
}

BOOL CMytallydeskDlg::DestroyWindow() {
    Device().DisConnectDov_Oz_Er();
    SaveSettings();
    return CDialog::DestroyWindow();
}

// ---- settings store ----

void CMytallydeskDlg::LoadSettings() {
    // The fields hold the defaults; a key the file lacks leaves its field.
    StoredSettings s;
    s.recordNumber = m_recordNumber;
    s.runningSum = m_runningSum;
    s.specialCount = m_specialCount;
    s.logDir = m_logDir;
    s.logDate = m_logDate;
    s.exportType = m_exportType;
    s.customerId = m_customerId;
    s.productBatch = m_productBatch;
    s.boxNum = m_boxNum;
    s.boxCount = m_boxCount;
    s.operatorText = m_operator;
    const bool read = ReadSettingsFile(ProgramSettingsLocation(), s);
    m_recordNumber = s.recordNumber;
    m_runningSum = s.runningSum;
    m_specialCount = s.specialCount;
    m_logDir = s.logDir;
    m_logDate = s.logDate;
    m_exportType = s.exportType;
    m_customerId = s.customerId;
    m_productBatch = s.productBatch;
    m_boxNum = s.boxNum;
    m_boxCount = s.boxCount;
    m_operator = s.operatorText;

    if (read) {
        m_totalRecordCount = m_recordNumber;
        m_totalSum = m_runningSum;
    }
    // Also without a settings file the box and the folder line show what the
    // fields hold, so a first save keeps SPECIAL_COUNT on.
    CheckDlgButton(IDC_SPECIAL_COUNT, m_specialCount > 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_LOG_DIR, m_logDir);

    UpdateData(FALSE);

    // Counters belong to the day they were saved on; the totals edits keep
    // showing the stored numbers until the next record arrives.
    ApplyDayCheck(Today(), m_recordNumber, m_runningSum, m_logDate);
}

bool CMytallydeskDlg::SaveSettings() {
    // A rejected number has shown its message; the save goes on with the
    // fields taken so far.
    UpdateData(TRUE);

    const std::int32_t specialCount = IsDlgButtonChecked(IDC_SPECIAL_COUNT) == BST_CHECKED ? 1 : 0;
    const std::string boxNum = std::to_string(m_recordCount);

    StoredSettings s;
    s.recordNumber = m_recordNumber;
    s.runningSum = m_runningSum;
    s.specialCount = specialCount;
    s.logDir = m_logDir;
    s.logDate = m_logDate;
    s.exportType = m_exportType;
    s.customerId = m_customerId;
    s.productBatch = m_productBatch;
    s.boxNum = boxNum;
    s.boxCount = m_boxCount;
    s.operatorText = m_operator;
    if (!WriteSettingsFile(ProgramSettingsLocation(), s)) {
        AfxMessageBox("Cannot save Ini file!", MB_OK);
        return false;
    }
    m_specialCount = specialCount;
    // The file's BoxNo is the Record Count, and so becomes the field.
    m_boxNum = boxNum;
    return true;
}

// ---- day log ----

void CMytallydeskDlg::OpenDayLog() {
    m_logHeader = kDayLogHeader;
    m_logDate = Today();
    const DayLogPlace place = PrepareDayLogPlace(m_logDir, GetProgramFolder(), m_logDate);
    if (!place.recordFolder.empty()) m_logFolder = place.recordFolder;
    m_logPath = place.path;
    if (!WriteDayLogHeader(m_logPath)) {
        AfxMessageBox("Create Log File Failed!", MB_OK);
        OnCancel();
    }
}

void CMytallydeskDlg::WriteLogLine(std::string text) {
    AppendValueLine(m_logPath, LocalNow(), text);
}

void CMytallydeskDlg::WriteBatchHeader() {
    AppendBatchHeader(m_logPath, LocalNow(), m_productBatch, m_operator);
}

void CMytallydeskDlg::WriteBatchEnd() { AppendBatchEnd(m_logPath, m_totalSum); }

// ---- window handlers ----

void CMytallydeskDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CMytallydeskDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        dc.FillBackground();
        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        QRect rect;
        GetClientRect(&rect);
        const int x = (rect.width() - cxIcon + 1) / 2;
        const int y = (rect.height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CMytallydeskDlg::OnQueryDragIcon() { return m_hIcon; }

void CMytallydeskDlg::OnDestroy() {
    CDialog::OnDestroy();
    Device().DisConnectDov_Oz_Er();
}

void CMytallydeskDlg::OnClearMessage() {
    m_message.clear();
    m_messageEdit.SetWindowText("");
}

// ---- handlers that the capture, housekeeping, printing and export work
// fills in ----


