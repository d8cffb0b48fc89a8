#include "framework/file_dialog.h"

#include "framework/seams.h"
#include "framework/wnd.h"

CFileDialog::CFileDialog(BOOL /*openFileDialog*/, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : defaultExt_(defaultExt ? defaultExt : ""),
      fileName_(fileName ? fileName : ""),
      filter_(filter ? filter : ""),
      flags_(flags),
      parent_(parent) {}

int CFileDialog::DoModal() {
    SaveFileRequest request;
    request.title = m_ofn.lpstrTitle;
    request.filter = filter_;
    request.defaultExt = defaultExt_;
    request.fileName = fileName_;
    request.initialFolder = m_ofn.lpstrInitialDir;
    request.overwritePrompt = (flags_ & OFN_OVERWRITEPROMPT) != 0;
    std::string path;
    if (!Seam<FileDialogService>::Get().SaveFileName(parent_ ? parent_->Widget() : nullptr, request,
                                                     &path))
        return IDCANCEL;
    // A bare name gets the default extension, as the system dialog does.
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!defaultExt_.empty() && name.find('.') == std::string::npos) path += "." + defaultExt_;
    path_ = path;
    return IDOK;
}

std::string CFileDialog::GetFileName() const {
    const auto slash = path_.rfind('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string CFileDialog::GetFileExt() const {
    const std::string name = GetFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

bool BrowseForFolder(const std::string& title, std::string* folder) {
    return Seam<FileDialogService>::Get().BrowseForFolder(title, folder);
}
