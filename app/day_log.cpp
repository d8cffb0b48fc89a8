#include "day_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

const char kDayLogHeader[] = "--NEW_RECORD LOG FILE-- \r\n";
const char kDayLogBatchEndLine[] = "-------------BATCH  END------------- \r\n";

namespace {

// Writes all of text, going on after short writes and interrupts.
bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens an existing day log for appending; never creates one. O_NONBLOCK
// keeps a FIFO that happens to carry the name from hanging the window.
int OpenForAppend(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
}

// Writes the pieces in order through one open; false when the file cannot
// be opened or a piece cannot be written.
bool AppendPieces(const std::string& path, const std::string& first, const std::string& second) {
    const int fd = OpenForAppend(path);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, first);
    if (ok && !second.empty()) ok = WriteAll(fd, second);
    if (close(fd) != 0) ok = false;
    return ok;
}

}  // namespace

DayLogPlace ChooseDayLogPlace(const std::string& logDir, const std::string& programFolder,
                              const std::string& date) {
    DayLogPlace place;
    if (!logDir.empty()) {
        place.path = logDir;
        if (place.path.back() != '/') place.path += '/';
        place.path += date + ".log";
    } else {
        place.recordFolder = programFolder + "Record/";
        place.path = place.recordFolder + date + ".log";
    }
    return place;
}

DayLogPlace PrepareDayLogPlace(const std::string& logDir, const std::string& programFolder,
                               const std::string& date) {
    DayLogPlace place = ChooseDayLogPlace(logDir, programFolder, date);
    if (!place.recordFolder.empty()) mkdir(place.recordFolder.c_str(), 0777);
    return place;
}

bool WriteDayLogHeader(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const std::string header = kDayLogHeader;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < header.size()) {
        const ssize_t n =
            pwrite(fd, header.data() + done, header.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            ok = errno == EINTR;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    if (close(fd) != 0) ok = false;
    return ok;
}

std::string DayLogValueLine(const std::tm& local, const std::string& text) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "  %.2d:%.2d:%.2d :", local.tm_hour, local.tm_min,
                  local.tm_sec);
    return prefix + text + "\r\n";
}

std::string DayLogBatchHeaderLine(const std::tm& local) {
    char line[96];
    std::snprintf(line, sizeof line, "------%.2lld/%.2d/%.2lld  %.2d:%.2d  BATCH -------- \r\n",
                  local.tm_mon + 1LL, local.tm_mday, local.tm_year + 1900LL, local.tm_hour,
                  local.tm_min);
    return line;
}

std::string DayLogBatchHeaderBody(const std::string& productBatch, const std::string& op) {
    return "ProductBatch:" + productBatch + "\r\n" + "Operator:" + op + "\r\n" + "SCAN RESULT:\r\n";
}

std::string DayLogBatchSumLine(std::int32_t totalSum) {
    char line[48];
    std::snprintf(line, sizeof line, "----SUM IS :%d \r\n", static_cast<int>(totalSum));
    return line;
}

bool AppendValueLine(const std::string& path, const std::tm& local, const std::string& text) {
    return AppendPieces(path, DayLogValueLine(local, text), std::string());
}

bool AppendBatchHeader(const std::string& path, const std::tm& local,
                       const std::string& productBatch, const std::string& op) {
    return AppendPieces(path, DayLogBatchHeaderLine(local),
                        DayLogBatchHeaderBody(productBatch, op));
}

bool AppendBatchEnd(const std::string& path, std::int32_t totalSum) {
    return AppendPieces(path, DayLogBatchSumLine(totalSum), kDayLogBatchEndLine);
}
