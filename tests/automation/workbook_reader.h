// Test helpers: a temporary folder and the independent workbook readers.
#pragma once

#include <string>
#include <vector>

namespace automation::testing {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// What read_workbook.py (xlrd for .xls, openpyxl for .xlsx, run by
// /usr/bin/python3) sees in the file, one fact a line. On a reader failure
// the lines hold its error output, starting with "ERROR".
std::vector<std::string> ReadWorkbook(const std::string& path);

// Runs /usr/bin/python3 with `script` as its program text and `arg` as its
// argument; returns standard output and error, and the exit status.
std::string RunPython(const std::string& script, const std::string& arg, int* status);

std::string ReadFileBytes(const std::string& path);

}  // namespace automation::testing
