// Finding the machine's port among the present ports by its friendly name,
// and the port names of the COMn form the serial engine opens by number.
#pragma once

#include <string>
#include <vector>

#include "port_backend.h"
#include "port_sources.h"

namespace tallylink {

// Size of the caller's port name buffer: up to 7 characters and a zero.
constexpr unsigned kPortNameSize = 8;

// The match strings, in the order they are tried; case-sensitive substrings.
extern const char* const kPortMatchList[3];

// The text strictly between the last '(' of a friendly name and the first
// ')' after it. False (portName untouched) when either bracket is missing or
// the text would not fit the 8-byte name buffer.
bool ExtractPortName(const std::string& friendlyName, std::string* portName);

// n for "COM" followed by one or two digits and a zero byte within the first
// kPortNameSize bytes; 0 for anything else, COM0 and COM00 included.
// Never reads past the zero byte nor past kPortNameSize bytes.
int ParsePortNumber(const char* name);

// The first port in ports whose friendly name holds match and carries a
// usable port name (see ParsePortNumber); ports with malformed names are
// passed over.
bool FindPortMatching(const std::vector<PortEntry>& ports, const char* match,
                      std::string* portName);

// The device of the first present port whose port name is COMn, or "".
std::string DevicePathForPort(const std::vector<PortEntry>& ports, int portNumber);

}  // namespace tallylink
