#include "workbook_reader.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace automation::testing {

TempFolder::TempFolder() {
    char pattern[] = "/tmp/tally-automation-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    const std::string command = "rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

namespace {

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string Capture(const std::string& command, int* status) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return "popen failed";
    }
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

}  // namespace

std::vector<std::string> ReadWorkbook(const std::string& path) {
    int status = 0;
    const std::string out = Capture(
        "/usr/bin/python3 " + Quote(TALLY_READ_WORKBOOK_PY) + " " + Quote(path) + " 2>&1", &status);
    std::vector<std::string> lines;
    if (status != 0) lines.push_back("ERROR exit " + std::to_string(status));
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string RunPython(const std::string& script, const std::string& arg, int* status) {
    return Capture("/usr/bin/python3 -c " + Quote(script) + " " + Quote(arg) + " 2>&1", status);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace automation::testing
