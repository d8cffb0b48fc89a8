// Dialog templates of the program, in dialog units as the resource script
// lays them out; the control order is the tab order.
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "app/program_resources.h"
#include "app/resource.h"
#include "framework/app.h"

namespace {

constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT;
using C = ControlClass;

DialogTemplate MakeMainTemplate() {
    DialogTemplate t;
    t.id = IDD_TALLYDESK_DIALOG;
    t.cx = 475;
    t.cy = 352;
    // A pop-up with a modal frame and a system menu but no caption, shown at
    // once, with its own taskbar button.
    t.style = WS_POPUP | DS_MODALFRAME | WS_SYSMENU | WS_VISIBLE | WS_EX_APPWINDOW;
    t.title = "";
    t.fontFace = "Fixedsys";
    t.pointSize = 12;
    t.controls = {
        {IDCANCEL, C::Button, "EXIT", 404, 327, 55, 18, kButton, ""},
        {IDC_CONNECT_MACHINE, C::Button, "Connect Machine", 19, 138, 68, 18, kButton, ""},
        {IDC_GET_RECORD, C::Button, "GetRecord", 19, 161, 68, 18, kButton, ""},
        {IDC_GET_RECORD_STATE, C::Button, "GetRecordState", 178, 154, 68, 18, WS_TABSTOP, ""},
        {IDC_DISCONNECT, C::Button, "Disconnect", 98, 139, 68, 18, kButton, ""},
        {IDC_RECORD_COUNT, C::Edit, "", 102, 34, 68, 14, kEdit, "Record Count"},
        {IDC_SUM_OF_CARD, C::Edit, "", 103, 52, 68, 14, kEdit, "Sum Of Card"},
        {IDC_STATIC, C::Static, "Record Count", 16, 39, 59, 14, kLabel, ""},
        {IDC_STATIC, C::Static, "Sum Of Card", 16, 56, 75, 15, kLabel, ""},
        {IDC_MESSAGE, C::Edit, "", 8, 261, 163, 23, kEdit | ES_MULTILINE | WS_VSCROLL, "Message"},
        {IDC_CLEAR_MESSAGE, C::Button, "Clear Message", 19, 230, 68, 18, kButton, ""},
        {IDC_STATIC, C::Static, "CustomerID", 179, 31, 44, 15, kLabel, ""},
        {IDC_STATIC, C::Static, "P_Batch", 283, 31, 33, 15, kLabel, ""},
        {IDC_STATIC, C::Static, "Box_Num", 283, 56, 36, 15, kLabel, ""},
        {IDC_STATIC, C::Static, "Operator", 374, 30, 42, 15, kLabel, ""},
        {IDC_STATIC, C::Static, "Box_Count", 178, 55, 37, 15, kLabel, ""},
        {IDC_STATIC, C::Static, "Card Count", 375, 54, 42, 15, kLabel, ""},
        {IDC_PRINT_ONE_PAGE, C::Button, "Print One Page", 245, 327, 67, 18, kButton, ""},
        {IDC_EXPORT_EXCEL, C::Button, "Export EXCEL", 313, 327, 59, 18, kButton, ""},
        {IDC_CUSTOMER_ID, C::Edit, "", 227, 30, 49, 17, kEdit, "CustomerID"},
        {IDC_PRODUCT_BATCH, C::Edit, "", 318, 29, 49, 17, kEdit, "P_Batch"},
        {IDC_BOX_NUM, C::Edit, "", 319, 56, 49, 17, kEdit, "Box_Num"},
        {IDC_OPERATOR, C::Edit, "", 418, 29, 49, 17, kEdit, "Operator"},
        {IDC_BOX_COUNT, C::Edit, "", 227, 55, 49, 17, kEdit, "Box_Count"},
        {IDC_CARD_COUNT, C::Edit, "", 417, 54, 49, 17, kEdit, "Card Count"},
        {IDC_RECORD_LIST, C::ListView, "", 176, 122, 283, 200,
         WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, "Record list"},
        {IDC_DEL_LOG_FILE, C::Button, "Del Log File", 19, 207, 68, 18, kButton, ""},
        {IDC_TEST_ADD, C::Button, "TEST-ADD", 115, 278, 51, 16, WS_TABSTOP, ""},
        {IDC_STATIC, C::Static, "Print_Start_Box_Num", 178, 79, 74, 13, kLabel, ""},
        {IDC_STATIC, C::Static, "Print_End_Box_Num", 305, 77, 73, 13, kLabel, ""},
        {IDC_PRINT_START_BOX_NUM, C::Edit, "", 253, 76, 49, 16, kEdit, "Print_Start_Box_Num"},
        {IDC_PRINT_END_BOX_NUM, C::Edit, "", 383, 75, 49, 16, kEdit, "Print_End_Box_Num"},
        {IDC_PRINT_SINGLE, C::Button, "Print Single", 182, 327, 62, 18, kButton, ""},
        {IDC_DEL_LIST_RECORDS, C::Button, "Del List Records", 19, 184, 68, 18, kButton, ""},
        {IDC_STATIC, C::GroupBox, "Counter Record State", 6, 23, 167, 53, WS_VISIBLE, ""},
        {IDC_STATIC, C::Static, "Total_Record_Count", 17, 90, 75, 12, kLabel, ""},
        {IDC_STATIC, C::Static, "Total_SUM", 17, 110, 46, 12, kLabel, ""},
        {IDC_TOTAL_RECORD_COUNT, C::Edit, "", 95, 87, 59, 18, kEdit, "Total_Record_Count"},
        {IDC_TOTAL_SUM, C::Edit, "", 95, 108, 59, 18, kEdit, "Total_SUM"},
        {IDC_START_CAPTURE, C::Button, "START_CAPTURE", 98, 208, 68, 18, kButton | WS_DISABLED, ""},
        {IDC_END_BATCH, C::Button, "END_BATCH", 97, 229, 68, 18, kButton, ""},
        {IDC_SAVE, C::Button, "SAVE", 436, 74, 32, 17, kButton, ""},
        {IDC_STATIC, C::Static, "LOG_FILE_LOCATION", 178, 98, 74, 13, kLabel, ""},
        {IDC_SET_LOG_FILE_LOCATION, C::Button, "SET_LOG_FILE_LOCATION", 253, 96, 96, 13, kButton,
         ""},
        {IDC_SPECIAL_COUNT, C::CheckBox, "SPECIAL_COUNT", 358, 96, 73, 14, kButton, ""},
        {IDC_LOG_DIR, C::Static, "Static", 178, 111, 269, 9, kLabel, ""},
        {IDC_LOGO, C::Picture, "", 1, 1, 71, 15, WS_VISIBLE, "Logo"},
        {IDC_TITLE, C::Static, "NRV7350k Card Counter Manager", 74, 2, 167, 15, kLabel, ""},
    };
    return t;
}

DialogTemplate MakeAboutTemplate() {
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.cx = 235;
    t.cy = 55;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    t.title = "关于 tallydesk";
    t.fontFace = "宋体";
    t.pointSize = 9;
    t.controls = {
        {IDC_STATIC, C::Icon, "128", 11, 17, 20, 20, WS_VISIBLE, "tallydesk"},
        {IDC_STATIC, C::Static, "tallydesk 1.0 版", 40, 10, 119, 8, kLabel, ""},
        {IDOK, C::Button, "确定", 178, 7, 50, 14, kButton | BS_DEFPUSHBUTTON | WS_GROUP, ""},
    };
    return t;
}

// Icon 128: a small stack of cards with a counter's blue band.
QIcon MakeProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(250, 250, 245));
        p.drawRoundedRect(QRectF(4 + 3 * i, 12 - 3 * i, 20, 14), 2, 2);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(11, 61, 145));
    p.drawRect(QRectF(10, 9, 20, 5));
    return QIcon(pixmap);
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate t = MakeMainTemplate();
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t = MakeAboutTemplate();
    return t;
}

void RegisterProgramResources() {
    AfxRegisterString(IDS_ABOUTBOX, "关于 tallydesk(&A)...");
    AfxRegisterIcon(IDR_MAINFRAME, &MakeProgramIcon);
}
