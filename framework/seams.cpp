#include "framework/seams.h"

#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "framework/printing/default_printer.h"
#include "framework/printing/printer_dc.h"

namespace {

struct Choice {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<Choice> ChoicesFor(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{QMessageBox::Abort, IDABORT},
                    {QMessageBox::Retry, IDRETRY},
                    {QMessageBox::Ignore, IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{QMessageBox::Yes, IDYES},
                    {QMessageBox::No, IDNO},
                    {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        case MB_RETRYCANCEL:
            return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
        default:
            return {{QMessageBox::Ok, IDOK}};
    }
}

class RealMessageBoxes : public MessageBoxService {
  public:
    int Show(QWidget* owner, const std::string& text, const std::string& caption,
             UINT type) override {
        QMessageBox box(owner);
        box.setWindowTitle(QString::fromStdString(caption));
        if (type & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.setText(QString::fromStdString(text));
        switch (type & MB_ICONMASK) {
            case MB_ICONHAND:
                box.setIcon(QMessageBox::Critical);
                break;
            case MB_ICONQUESTION:
                box.setIcon(QMessageBox::Question);
                break;
            case MB_ICONEXCLAMATION:
                box.setIcon(QMessageBox::Warning);
                break;
            case MB_ICONASTERISK:
                box.setIcon(QMessageBox::Information);
                break;
            default:
                break;
        }
        const std::vector<Choice> choices = ChoicesFor(type);
        QMessageBox::StandardButtons buttons;
        for (const Choice& c : choices) buttons |= c.button;
        box.setStandardButtons(buttons);
        box.setDefaultButton(choices.front().button);
        // A box without a Cancel or No button still closes on Esc, answering
        // with its first button, as the system's boxes do for a lone OK.
        box.setEscapeButton(
            box.button(choices.size() == 1 ? choices.front().button : choices.back().button));
        if (owner) {
            box.exec();
        } else {
            // A box without an owner window disables no window, as the
            // system's unowned box does: the device library's failure report
            // leaves the program's window usable (the operator may disconnect
            // while it is open) and the capture timer ticking.
            box.setWindowModality(Qt::NonModal);
            QEventLoop loop;
            QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
            box.show();
            loop.exec();
        }
        auto* clicked = box.clickedButton();
        for (const Choice& c : choices)
            if (clicked == box.button(c.button)) return c.result;
        return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
};

// "desc|pattern|desc|pattern||" becomes Qt's "desc (pattern)" list; several
// patterns of one entry are separated by ';' there and by ' ' in Qt.
QStringList QtFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QString("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

class RealFileDialogs : public FileDialogService {
  public:
    bool SaveFileName(QWidget* owner, const SaveFileRequest& request, std::string* path) override {
        QFileDialog dialog(
            owner,
            request.title.empty() ? QString("Save As") : QString::fromStdString(request.title),
            QString::fromStdString(request.initialFolder));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (!request.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        const QStringList filters = QtFilters(request.filter);
        if (!filters.isEmpty()) dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
        if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        *path = dialog.selectedFiles().front().toStdString();
        return true;
    }

    bool BrowseForFolder(const std::string& title, std::string* folder) override {
        // No owner and no modality: the program's window stays usable while
        // the picker is open, and the capture timer keeps ticking.
        QFileDialog dialog(nullptr, QString::fromStdString(title));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        dialog.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
        dialog.show();
        loop.exec();
        if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        *folder = dialog.selectedFiles().front().toStdString();
        return true;
    }
};

class RealClock : public Clock {
  public:
    std::tm Now() override {
        std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        return local;
    }
};

class RealProgramLocation : public ProgramLocation {
  public:
    std::string Folder() override {
        const std::string exe = ExePath();
        const auto slash = exe.rfind('/');
        return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    }
    std::string BaseName() override {
        std::string name = ExePath();
        const auto slash = name.rfind('/');
        if (slash != std::string::npos) name.erase(0, slash + 1);
        const auto dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
        return name;
    }

  private:
    static std::string ExePath() {
        std::vector<char> buf(4096);
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
        if (n <= 0) return std::string();
        return std::string(buf.data(), static_cast<size_t>(n));
    }
};

class RealPrinter : public PrinterService {
  public:
    std::string DefaultPrinterEntry() override { return tallyprint::DefaultPrinterEntry(); }
    std::unique_ptr<tallyprint::DeviceContext> CreateDC(const std::string& driver,
                                                        const std::string& device,
                                                        const std::string& port) override {
        return tallyprint::PrinterDC::Create(driver, device, port);
    }
};

}  // namespace

template <>
MessageBoxService& Seam<MessageBoxService>::Default() {
    static RealMessageBoxes real;
    return real;
}
template <>
FileDialogService& Seam<FileDialogService>::Default() {
    static RealFileDialogs real;
    return real;
}
template <>
Clock& Seam<Clock>::Default() {
    static RealClock real;
    return real;
}
template <>
ProgramLocation& Seam<ProgramLocation>::Default() {
    static RealProgramLocation real;
    return real;
}
template <>
PrinterService& Seam<PrinterService>::Default() {
    static RealPrinter real;
    return real;
}

std::string GetProgramFolder() { return Seam<ProgramLocation>::Get().Folder(); }
std::string GetProgramBaseName() { return Seam<ProgramLocation>::Get().BaseName(); }
std::tm LocalNow() { return Seam<Clock>::Get().Now(); }
