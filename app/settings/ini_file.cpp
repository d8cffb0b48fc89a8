#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// Searches go byte by byte. Texts are UTF-8, whose multi-byte characters are
// made of bytes 0x80 and up only, so "[" and "=" are never found inside a
// character, and a valid UTF-8 key can only match at a character start.

CIniFile::CIniFile() : m_file(nullptr), m_writeFailed(false) {}

CIniFile::~CIniFile() { CIniFile::Close(); }

void CIniFile::SetFolder(const std::string& folder) { m_strFolder = folder; }

void CIniFile::SetFileName(const std::string& base) { m_strFileName = base + ".ini"; }

int CIniFile::Open(const char* mode) {
    Close();
    m_file = std::fopen(Path().c_str(), mode);
    m_writeFailed = false;
    return m_file != nullptr ? 1 : 0;
}

int CIniFile::OpenForRead() {
    return Open("rbe");  // e: close-on-exec
}

int CIniFile::OpenForWrite() { return Open("wbe"); }

int CIniFile::Close() {
    if (m_file == nullptr) return 1;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed && !m_writeFailed ? 1 : 0;
}

bool CIniFile::StatusOk() const {
    if (m_file == nullptr) return false;
    struct stat status;
    return fstat(fileno(m_file), &status) == 0;
}

bool CIniFile::ReadLine(std::string& line) {
    line.clear();
    int c = std::getc(m_file);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = std::getc(m_file);
    }
    // Text mode: CR LF reads as LF. A CR not followed by LF stays.
    if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

int CIniFile::FindSection(const std::string& text) {
    if (m_file == nullptr) return 0;
    std::rewind(m_file);
    std::string line;
    while (ReadLine(line)) {
        if (line.find(text) != std::string::npos) return 1;
    }
    return 0;
}

bool CIniFile::LookUp(const std::string& section, const std::string& key, std::string& value) {
    if (!StatusOk()) return false;
    if (!FindSection(section)) return false;
    std::string line;
    while (ReadLine(line)) {
        const std::size_t equals = line.find('=');
        const std::string keyPart =
            equals == std::string::npos ? std::string() : line.substr(0, equals);
        if (line.find('[') != std::string::npos) continue;
        if (keyPart.empty()) continue;
        // Containment, not equality: "SpecialCount" answers a lookup of "Count".
        if (keyPart.find(key) == std::string::npos) continue;
        value = TrimSpaces(line.substr(equals + 1));
        return true;
    }
    return false;
}

int CIniFile::ReadKeyString(const std::string& section, const std::string& key, std::string& out) {
    std::string value;
    if (!LookUp(section, key, value)) return 0;
    out = value;
    return 1;
}

int CIniFile::ReadKeyInt(const std::string& section, const std::string& key, std::int32_t& out) {
    std::string value;
    if (!LookUp(section, key, value)) return 0;
    out = IniTextToInt(value);
    return 1;
}

int CIniFile::ReadKeyLong(const std::string& section, const std::string& key, std::int32_t& out) {
    return ReadKeyInt(section, key, out);
}

std::int32_t IniTextToInt(const std::string& text) {
    std::size_t i = 0;
    // The white space strtol skips in the C locale.
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude, saturating just past the 32-bit range.
    const long long limit = 2147483648LL;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) magnitude = limit + 1;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > 2147483647LL) return 2147483647;
    if (value < -2147483648LL) return -2147483647 - 1;
    return static_cast<std::int32_t>(value);
}

std::string CIniFile::TrimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

int CIniFile::Write(const std::string& text) {
    if (!StatusOk()) return 0;
    // Text mode: every LF goes out as CR LF, also one inside a value.
    std::string bytes;
    bytes.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') bytes.push_back('\r');
        bytes.push_back(c);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_writeFailed = true;
        return 0;
    }
    return 1;
}

int CIniFile::WriteSection(const std::string& name) { return Write("[" + name + "]\n"); }

int CIniFile::WriteKeyString(const std::string& key, const std::string& value) {
    return Write(key + "=" + value + "\n");
}

int CIniFile::WriteKeyInt(const std::string& key, std::int32_t value) {
    return Write(key + "=" + std::to_string(value) + "\n");
}

int CIniFile::WriteKeyULong(const std::string& key, std::uint32_t value) {
    return Write(key + "=" + std::to_string(value) + "\n");
}

int CIniFile::WriteText(const std::string& text) { return Write(text); }

int CIniFile::FlushToDisk() {
    if (!StatusOk()) return 0;
    if (std::fflush(m_file) != 0 || fsync(fileno(m_file)) != 0) {
        m_writeFailed = true;
        return 0;
    }
    return m_writeFailed ? 0 : 1;
}
