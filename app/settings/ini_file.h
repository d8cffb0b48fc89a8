// CIniFile: reads and writes the program's settings file, a small INI-style
// text file of section lines and key=value lines.
//
// Reading looks one key up at a time by scanning the file from its top;
// writing appends one line at a time to a file emptied when it was opened,
// so a save always rewrites the whole file. One object serves one load or one
// save. All operations with a result return 1 for success and 0 for failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CIniFile {
  public:
    CIniFile();
    virtual ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // The folder is used as given, trailing "/" included; nothing is added
    // between folder and file name.
    void SetFolder(const std::string& folder);
    // The file name becomes base + ".ini".
    void SetFileName(const std::string& base);

    int OpenForRead();
    // Creates the file, or empties it when it exists.
    int OpenForWrite();

    // Rewinds and reads on to just past the first line that contains text
    // anywhere (an empty text stops at the first line).
    int FindSection(const std::string& text);

    // Lookups. The first line after the section's line whose key part (text
    // before its first "=") contains key wins; lines holding "[" and lines
    // with an empty key part are passed over, and the scan runs on to the
    // end of the file. The value is the text after the first "=", trimmed of
    // spaces. On failure out keeps what the caller put there (the default).
    int ReadKeyInt(const std::string& section, const std::string& key, std::int32_t& out);
    int ReadKeyLong(const std::string& section, const std::string& key, std::int32_t& out);
    int ReadKeyString(const std::string& section, const std::string& key, std::string& out);

    // Writes. Each "\n" reaches the disk as CR LF, as a text-mode file writes it.
    int WriteSection(const std::string& name);
    int WriteKeyString(const std::string& key, const std::string& value);
    int WriteKeyInt(const std::string& key, std::int32_t value);
    int WriteKeyULong(const std::string& key, std::uint32_t value);
    int WriteText(const std::string& text);

    // Pushes everything written so far to the disk (fflush and fsync); a
    // writer that replaces a file by renaming needs this before the rename.
    int FlushToDisk();

    // The text without leading and trailing space characters (0x20 only).
    static std::string TrimSpaces(const std::string& text);

    // Closes the file; nothing when it is not open. 1 when everything
    // written reached the file (always 1 after reading or when not open).
    virtual int Close();

    // Folder + file name.
    std::string Path() const { return m_strFolder + m_strFileName; }

  private:
    int Open(const char* mode);
    // The status guard of every lookup and write: the open file must answer
    // a status query.
    bool StatusOk() const;
    // Reads the next line without its line end; false at the end of the file.
    bool ReadLine(std::string& line);
    // Finds the value text of key in section (steps shared by the lookups).
    bool LookUp(const std::string& section, const std::string& key, std::string& value);
    int Write(const std::string& text);

    std::string m_strFolder;
    std::string m_strFileName;
    std::FILE* m_file;
    bool m_writeFailed;
};

// Reads a decimal number as the lookups do: leading white space, an optional
// sign, digits up to the first non-digit; no digits gives 0; values outside
// the signed 32-bit range give the nearer bound.
std::int32_t IniTextToInt(const std::string& text);
