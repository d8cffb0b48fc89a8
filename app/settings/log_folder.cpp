// The log folder buttons of the main window: SET_LOG_FILE_LOCATION picks the
// folder the day logs go to, Del Log File deletes the day logs and starts
// the day's counting again from zero.
#include "app/day_log.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/settings/log_housekeeping.h"
#include "app/time_text.h"
#include "framework/file_dialog.h"
#include "framework/seams.h"

void CMytallydeskDlg::OnSetLogFileLocation() {
    std::string folder;
    if (BrowseForFolder("Modify log file location", &folder)) {
        // A folder in which no day log can be created (read-only, gone
        // meanwhile) is not taken: the window would end at once, and since
        // the folder would be saved as DIR_LOG on the way out, it would end
        // again at every start. The day log stays where it was.
        const std::string today = DateOfTimeString(CurrentTimeString(LocalNow()));
        const DayLogPlace place = PrepareDayLogPlace(folder, GetProgramFolder(), today);
        if (WriteDayLogHeader(place.path)) {
            m_logDir = folder;
            SetDlgItemText(IDC_LOG_DIR, m_logDir);
        } else {
            MessageBox("Create Log File Failed!");
        }
    }
    // Also after a cancel: a day log deleted by hand meanwhile comes back
    // with its header. The new folder reaches the settings file at the next
    // save; logs already written stay in the earlier folder.
    OpenDayLog();
}

void CMytallydeskDlg::OnDelLogFile() {
    if (MessageBox("Confirm to Delete all Log file?", "Delete all Log file?",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    // Only files directly in the log folder; when the folder cannot be
    // opened nothing anywhere is deleted.
    DeleteMatchingFiles("*.log", LogFolderToClear(m_logDir, m_logFolder));
    // The control's text only: the bound field follows at the save below.
    m_messageEdit.SetWindowText("Delete all Log file Success!");

    // The day log lay in that folder: it starts again with its header alone.
    if (!WriteDayLogHeader(m_logPath)) m_messageEdit.SetWindowText("Create log file failed!");

    m_recordNumber = 0;
    m_runningSum = 0;
    m_totalRecordCount = 0;
    m_totalSum = 0;
    SetDlgItemText(IDC_TOTAL_SUM, "0");
    SetDlgItemText(IDC_TOTAL_RECORD_COUNT, "0");
    // The save takes the controls into the fields first, so the zeros
    // reach the settings file as Count and Sum.
    SaveSettings();
    UpdateData(FALSE);
}
