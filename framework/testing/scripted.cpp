#include "framework/testing/scripted.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

int ScriptedDialogs::Show(QWidget*, const std::string& text, const std::string& caption,
                          UINT type) {
    shown.push_back({text, caption, type});
    if (whileShown) whileShown(shown.back());
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_RETRYCANCEL:
            return IDRETRY;
        default:
            return IDOK;
    }
}

bool ScriptedDialogs::SaveFileName(QWidget*, const SaveFileRequest& request, std::string* path) {
    saveRequests.push_back(request);
    if (savePaths.empty()) return false;
    const std::optional<std::string> answer = savePaths.front();
    savePaths.pop_front();
    if (!answer) return false;
    *path = *answer;
    return true;
}

bool ScriptedDialogs::BrowseForFolder(const std::string& title, std::string* folder) {
    folderTitles.push_back(title);
    if (folders.empty()) return false;
    const std::optional<std::string> answer = folders.front();
    folders.pop_front();
    if (!answer) return false;
    *folder = *answer;
    return true;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
    std::vector<std::string> texts;
    for (const ShownBox& b : shown) texts.push_back(b.text);
    return texts;
}

FixedClock::FixedClock(int year, int month, int day, int hour, int minute, int second) {
    now.tm_year = year - 1900;
    now.tm_mon = month - 1;
    now.tm_mday = day;
    now.tm_hour = hour;
    now.tm_min = minute;
    now.tm_sec = second;
    std::tm copy = now;
    timegm(&copy);  // fills the day of week and of year
    now.tm_wday = copy.tm_wday;
    now.tm_yday = copy.tm_yday;
}

TempProgramLocation::TempProgramLocation(std::string baseName) : baseName_(std::move(baseName)) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tallydesk-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern + "/";
}

TempProgramLocation::~TempProgramLocation() {
    std::error_code ec;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(folder_, ec);
}

std::optional<std::string> TempProgramLocation::Read(const std::string& name) const {
    std::ifstream in(folder_ + name, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void TempProgramLocation::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(folder_ + name, std::ios::binary | std::ios::trunc);
    out << bytes;
}
