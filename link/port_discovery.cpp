// placeholder: filled in by the work on this file
#include "port_backend.h"
namespace tallylink {
int FindDevicePort(char*) { return 0; }
int PortNumberFromName(const char*) { return 0; }
}  // namespace tallylink
