// Seams: the few places where the program meets the person at the screen,
// the clock, the file system location and the printer. Each is a small
// interface with the real implementation as default; tests install their
// own for the length of a test.
//
//   ScriptedDialogs dialogs;                        // framework/testing
//   ScopedSeam<MessageBoxService> boxes(&dialogs);  // until end of scope
//
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "framework/afx_types.h"
#include "framework/printing/device_context.h"

class QWidget;

template <class Interface>
class Seam {
  public:
    // The installed implementation, else the real one.
    static Interface& Get() { return installed_ ? *installed_ : Default(); }
    static Interface* Installed() { return installed_; }
    // nullptr puts the real implementation back.
    static void Install(Interface* impl) { installed_ = impl; }

  private:
    static Interface& Default();
    static inline Interface* installed_ = nullptr;
};

template <class Interface>
class ScopedSeam {
  public:
    explicit ScopedSeam(Interface* impl) : previous_(Seam<Interface>::Installed()) {
        Seam<Interface>::Install(impl);
    }
    ~ScopedSeam() { Seam<Interface>::Install(previous_); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

  private:
    Interface* previous_;
};

// Message boxes: returns IDOK, IDCANCEL, IDYES, IDNO ... for the button
// chosen. type is MB_OK, MB_YESNO ... combined with an MB_ICON... value.
class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    virtual int Show(QWidget* owner, const std::string& text, const std::string& caption,
                     UINT type) = 0;
};

// What the Save dialog is asked for.
struct SaveFileRequest {
    std::string title;          // blank: "Save As"
    std::string filter;         // "desc|pattern|desc|pattern||"
    std::string defaultExt;     // without the dot; appended to a bare name
    std::string fileName;       // proposed name
    std::string initialFolder;  // blank: the current directory
    bool overwritePrompt = true;
};

// The Save dialog and the folder picker. Both return false when cancelled.
class FileDialogService {
  public:
    virtual ~FileDialogService() = default;
    virtual bool SaveFileName(QWidget* owner, const SaveFileRequest& request,
                              std::string* path) = 0;
    // The folder picker has no owner: the program's window stays usable.
    virtual bool BrowseForFolder(const std::string& title, std::string* folder) = 0;
};

// Local time behind every time stamp the program writes.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::tm Now() = 0;
};

// Where the program lives: the settings file, the Record folder and the logo
// are found there. Tests point it at a temporary folder so that they never
// write beside the real build.
class ProgramLocation {
  public:
    virtual ~ProgramLocation() = default;
    // Folder of the program file, with its trailing '/'.
    virtual std::string Folder() = 0;
    // The program file's name without folder and extension ("tallydesk").
    virtual std::string BaseName() = 0;
};

// The default printer and its device context. The real one asks CUPS; tests
// hand out a recording device context, or none.
class PrinterService {
  public:
    virtual ~PrinterService() = default;
    // The "windows"/"device" entry "<printer name>,<driver>,<port>" of the
    // default printer, ",,," when there is none. Uncut: the caller cuts it
    // as its buffer would.
    virtual std::string DefaultPrinterEntry() = 0;
    // A device context on that printer (arguments in the order driver,
    // device, port), in its own dots and with its default font selected;
    // null when it cannot be made.
    virtual std::unique_ptr<tallyprint::DeviceContext> CreateDC(const std::string& driver,
                                                                const std::string& device,
                                                                const std::string& port) = 0;
};

template <>
MessageBoxService& Seam<MessageBoxService>::Default();
template <>
FileDialogService& Seam<FileDialogService>::Default();
template <>
Clock& Seam<Clock>::Default();
template <>
ProgramLocation& Seam<ProgramLocation>::Default();
template <>
PrinterService& Seam<PrinterService>::Default();

// Shortcuts the program calls.
std::string GetProgramFolder();
std::string GetProgramBaseName();
std::tm LocalNow();
