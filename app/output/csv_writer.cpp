#include "output/csv_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CsvLine(const CsvRow& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += ',';
        line += CsvCell(cells[i]);
    }
    line += "\r\n";
    return line;
}

bool AppendCsvLine(const std::string& path, const std::string& line, std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error != nullptr) *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    int failure = 0;
    while (done < line.size()) {
        const ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failure = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure != 0) {
        if (error != nullptr) *error = path + ": " + std::strerror(failure);
        return false;
    }
    return true;
}

bool ExportTargetExists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}
