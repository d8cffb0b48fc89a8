#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/ini_file.h"

namespace {

const char kCounterSection[] = "Card Counter";
const char kPrintSection[] = "PrintInf";

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Writes the fifteen lines into an open file. "Count" must come before
// "SpecialCount": lookups go by containment and the first match wins.
bool WriteLines(CIniFile& ini, const StoredSettings& s) {
    // Count and Sum go out as the unsigned number of their 32 bits; a value
    // past 2147483647 is read back as 2147483647.
    return ini.WriteSection(kCounterSection) &&
           ini.WriteKeyULong("Count", static_cast<std::uint32_t>(s.recordNumber)) &&
           ini.WriteKeyULong("Sum", static_cast<std::uint32_t>(s.runningSum)) &&
           ini.WriteKeyInt("SpecialCount", s.specialCount) &&
           ini.WriteKeyString("DIR_LOG", s.logDir) && ini.WriteKeyString("Filename", s.logDate) &&
           ini.WriteKeyString("ExportType", s.exportType) && ini.WriteText("\n") &&
           ini.WriteSection(kPrintSection) && ini.WriteKeyString("CustomerID", s.customerId) &&
           ini.WriteKeyString("BatchNo", s.productBatch) && ini.WriteKeyString("BoxNo", s.boxNum) &&
           ini.WriteKeyString("BoxTotalNo", s.boxCount) &&
           ini.WriteKeyString("StampNo", s.operatorText) && ini.WriteText("\n");
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);  // best effort: the rename is already done
    close(fd);
}

}  // namespace

SettingsLocation SettingsLocationFor(const std::string& programPath) {
    SettingsLocation where;
    const std::size_t slash = programPath.rfind('/');
    where.folder = slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    where.baseName = name;
    return where;
}

std::string ProgramFilePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::string();
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool ReadSettingsFile(const SettingsLocation& where, StoredSettings& s) {
    CIniFile ini;
    ini.SetFileName(where.baseName);
    ini.SetFolder(where.folder);
    if (!ini.OpenForRead()) return false;
    ini.ReadKeyLong(kCounterSection, "Count", s.recordNumber);
    ini.ReadKeyLong(kCounterSection, "Sum", s.runningSum);
    ini.ReadKeyString(kCounterSection, "Filename", s.logDate);
    ini.ReadKeyInt(kCounterSection, "SpecialCount", s.specialCount);
    ini.ReadKeyString(kCounterSection, "DIR_LOG", s.logDir);
    ini.ReadKeyString(kCounterSection, "ExportType", s.exportType);
    ini.ReadKeyString(kPrintSection, "CustomerID", s.customerId);
    ini.ReadKeyString(kPrintSection, "BatchNo", s.productBatch);
    ini.ReadKeyString(kPrintSection, "BoxTotalNo", s.boxCount);
    ini.ReadKeyString(kPrintSection, "BoxNo", s.boxNum);
    ini.ReadKeyString(kPrintSection, "StampNo", s.operatorText);
    ini.Close();
    return true;
}

bool WriteSettingsFile(const SettingsLocation& where, const StoredSettings& settings,
                       std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    why.clear();

    std::string folder = where.folder;
    std::string fileName = where.baseName + ".ini";
    std::string target = folder + fileName;

    // A settings file reached through a symbolic link is replaced where it
    // really lies, so the link stays a link.
    struct stat status;
    if (lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char* real = realpath(target.c_str(), nullptr);
        if (real != nullptr) {
            target = real;
            std::free(real);
            const std::size_t slash = target.rfind('/');
            folder = target.substr(0, slash + 1);
            fileName = target.substr(slash + 1);
        }
    }

    // A file made read-only keeps its content. Running as root opens it all
    // the same, so the owner's write bit decides as well, as the read-only
    // attribute does on Windows.
    bool exists = false;
    if (stat(target.c_str(), &status) == 0) {
        exists = true;
        if (!S_ISREG(status.st_mode)) {
            why = target + ": not a regular file";
            return false;
        }
        if ((status.st_mode & S_IWUSR) == 0) {
            why = target + ": the file is read-only";
            return false;
        }
        const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            why = SystemError(target, errno);
            return false;
        }
        close(fd);
    } else if (errno != ENOENT) {
        why = SystemError(target, errno);
        return false;
    }

    // The new content goes to a file of its own beside the old one and
    // replaces it by a rename only once it is complete and on the disk: a
    // save cut short (full disk, power loss) leaves the previous settings.
    CIniFile ini;
    ini.SetFolder(folder);
    ini.SetFileName("." + fileName + "-saving-" + std::to_string(getpid()));
    const std::string temporary = ini.Path();
    if (!ini.OpenForWrite()) {
        why = SystemError(temporary, errno);
        return false;
    }
    const bool written = WriteLines(ini, settings) && ini.FlushToDisk();
    const int writeError = errno;
    if (!ini.Close() || !written) {
        why = SystemError(temporary, writeError);
        unlink(temporary.c_str());
        return false;
    }
    if (exists) chmod(temporary.c_str(), status.st_mode & 07777);
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        why = SystemError(target, errno);
        unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool ApplyDayCheck(const std::string& today, std::int32_t& recordNumber, std::int32_t& runningSum,
                   std::string& logDate) {
    if (today == logDate) return false;
    recordNumber = 0;
    runningSum = 0;
    logDate = today;
    return true;
}
