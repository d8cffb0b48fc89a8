// The Save dialog and the folder picker, both going through the
// FileDialogService seam.
#pragma once

#include <string>

#include "framework/afx_types.h"

class CWnd;

class CFileDialog {
  public:
    // Only the Save form is used by the program (openFileDialog FALSE).
    // filter is "desc|pattern|desc|pattern||".
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    int DoModal();  // IDOK or IDCANCEL
    std::string GetPathName() const { return path_; }
    std::string GetFileName() const;
    std::string GetFileExt() const;

    struct OpenFileName {
        std::string lpstrInitialDir;
        std::string lpstrTitle;
    } m_ofn;

  private:
    std::string defaultExt_, fileName_, filter_, path_;
    DWORD flags_;
    CWnd* parent_;
};

// The shell's folder picker: no owner window, an edit box for typing a
// folder. True with the chosen folder (no trailing '/'), false when
// cancelled.
bool BrowseForFolder(const std::string& title, std::string* folder);
