// The application object and the framework's global helpers.
#pragma once

#include <string>

#include "framework/afx_types.h"
#include "framework/wnd.h"

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    // Creates the Qt application (when none exists yet), runs InitInstance and
    // returns the exit code. The program takes no command-line arguments.
    int Run(int argc, char** argv);
    // Return FALSE to end the program when it returns.
    virtual BOOL InitInstance() { return FALSE; }
    HICON LoadIcon(UINT id) const;

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
// The application name: the program file's base name ("tallydesk").
std::string AfxGetAppName();
// A message box captioned with the application name.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
// Hosting of embedded controls: nothing to set up with Qt.
void AfxEnableControlContainer();

// Resources: strings and icons by id. The program registers its own.
void AfxRegisterString(UINT id, const std::string& text);
std::string AfxLoadString(UINT id);  // blank when unknown
void AfxRegisterIcon(UINT id, QIcon (*make)());
HICON AfxLoadIcon(UINT id);  // a null icon when unknown
// A bitmap file scaled to cx x cy pixels (0: its own size); a null bitmap
// when the file is missing or unreadable.
HBITMAP AfxLoadBitmapFile(const std::string& path, int cx, int cy);
