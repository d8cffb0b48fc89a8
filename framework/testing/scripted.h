// Test doubles for the framework's seams.
//
//   ScriptedDialogs dialogs;
//   dialogs.answers.push_back(IDNO);               // next box answers No
//   ScopedSeam<MessageBoxService> boxes(&dialogs);
//   ... dialogs.shown[0].text, .caption, .type
#pragma once

#include <ctime>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/seams.h"

class ScriptedDialogs : public MessageBoxService, public FileDialogService {
  public:
    struct ShownBox {
        std::string text;
        std::string caption;
        UINT type;
    };
    // Answers for the next message boxes, in order. With none left a box
    // answers with its first button (OK, Yes, Abort, Retry).
    std::deque<int> answers;
    std::vector<ShownBox> shown;
    // Runs while a box is "open" (after it is recorded), so a test can act
    // as if the operator did something in the meantime.
    std::function<void(const ShownBox&)> whileShown;

    // Save dialog: next answers; nullopt cancels. With none left: cancel.
    std::deque<std::optional<std::string>> savePaths;
    std::vector<SaveFileRequest> saveRequests;
    // Folder picker: next answers; nullopt cancels. With none left: cancel.
    std::deque<std::optional<std::string>> folders;
    std::vector<std::string> folderTitles;

    int Show(QWidget* owner, const std::string& text, const std::string& caption,
             UINT type) override;
    bool SaveFileName(QWidget* owner, const SaveFileRequest& request, std::string* path) override;
    bool BrowseForFolder(const std::string& title, std::string* folder) override;

    // Texts of the boxes shown so far.
    std::vector<std::string> Texts() const;
};

class FixedClock : public Clock {
  public:
    FixedClock(int year, int month, int day, int hour, int minute, int second);
    std::tm Now() override { return now; }
    std::tm now{};
};

// A program folder in a fresh temporary directory (removed at the end),
// with the program's base name.
class TempProgramLocation : public ProgramLocation {
  public:
    explicit TempProgramLocation(std::string baseName = "tallydesk");
    ~TempProgramLocation() override;
    std::string Folder() override { return folder_; }
    std::string BaseName() override { return baseName_; }
    // Whole content of a file in the folder; nullopt when it cannot be read.
    std::optional<std::string> Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& bytes) const;

  private:
    std::string folder_;
    std::string baseName_;
};
