#include "workbook_file.h"

#include <cctype>

#include "biff8_writer.h"
#include "xlsx_writer.h"

namespace automation {

WorkbookFileFormat FileFormatForName(const std::string& path) {
    static const char kXlsx[] = ".xlsx";
    const std::size_t n = sizeof kXlsx - 1;
    if (path.size() < n) return WorkbookFileFormat::Biff8;
    for (std::size_t i = 0; i < n; ++i) {
        const char c =
            static_cast<char>(std::tolower(static_cast<unsigned char>(path[path.size() - n + i])));
        if (c != kXlsx[i]) return WorkbookFileFormat::Biff8;
    }
    return WorkbookFileFormat::Xlsx;
}

Status SaveWorkbookFile(const WorkbookModel& book, const std::string& path,
                        WorkbookFileFormat format) {
    return format == WorkbookFileFormat::Xlsx ? WriteXlsxFile(book, path)
                                              : WriteBiff8File(book, path);
}

}  // namespace automation
