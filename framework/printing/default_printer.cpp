#include "default_printer.h"

#include <QPrinterInfo>
#include <QString>
#include <cstring>

namespace tallyprint {

std::string DefaultPrinterEntry() {
    // Qt's CUPS support asks the scheduler on every call, so a default set
    // while the program runs is seen at the next print.
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull() || printer.printerName().isEmpty()) {
        return kNoDefaultPrinter;
    }
    std::string entry = printer.printerName().toStdString();
    entry += ',';
    entry += kPrinterDriver;
    entry += ',';
    entry += kPrinterPort;
    return entry;
}

int GetDefaultPrinterEntry(char* buffer, int size) {
    if (buffer == nullptr || size < 1) {
        return 0;
    }
    const std::string entry = DefaultPrinterEntry();
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    const std::size_t count = entry.size() < room ? entry.size() : room;
    std::memcpy(buffer, entry.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

}  // namespace tallyprint
