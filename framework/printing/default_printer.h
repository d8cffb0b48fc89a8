// The default printer as the program asks for it: one "windows"/"device"
// style entry, "<printer name>,<driver>,<port>", built from the default CUPS
// queue.
#pragma once

#include <string>

namespace tallyprint {

// What a program reads when no printer is the default: three empty fields.
inline constexpr const char kNoDefaultPrinter[] = ",,,";

// The spooler every queue prints through; it stands where Windows puts
// "winspool" in the device entry.
inline constexpr const char kPrinterDriver[] = "cups";

// Jobs reach the printer through the local CUPS scheduler, never through a
// port of their own; the entry names the spool as its port.
inline constexpr const char kPrinterPort[] = "spool";

// "<queue>,cups,spool" for the default CUPS queue (the user's choice in
// LPDEST, PRINTER or lpoptions first, else the scheduler's default), or
// ",,," when there is none or the scheduler cannot be reached. The full
// entry, never cut.
std::string DefaultPrinterEntry();

// The entry copied into a caller's buffer of `size` characters, cut to
// size - 1 characters and always terminated, as a profile read into a
// fixed buffer is; callers read it into 80 characters, so a longer entry
// keeps its first 79. Returns the number of characters copied; a null
// buffer or a size below 1 copies nothing and returns 0.
int GetDefaultPrinterEntry(char* buffer, int size);

}  // namespace tallyprint
