// Where serial ports come from on Linux: the port directory and the serial
// hardware known to sysfs. Pure enumeration over roots given by the caller,
// so discovery can be tested on small fake trees.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace tallylink {

// One present port: the friendly name the machine is looked up by, and the
// character device that opening it opens.
struct PortEntry {
    std::string friendlyName;
    std::string devicePath;
};

// One serial device found in sysfs, before it is given a port number.
struct HardwarePort {
    std::string kernelName;   // "ttyACM0"
    std::string description;  // "STMicroelectronics Virtual COM Port"
};

// $TALLYLINK_PORT_DIR, else $XDG_RUNTIME_DIR/tallylink/ports, else
// /tmp/tallylink-<uid>/ports. Empty variables count as unset.
std::string DefaultPortDirectory();
// $TALLYLINK_SYSFS_ROOT, else /sys.
std::string DefaultSysfsRoot();

// Symbolic links in dir whose target exists, in byte order of their names;
// the name is the friendly name. A missing directory yields nothing.
std::vector<PortEntry> ListPortDirectory(const std::string& dir);

// Entries of <sysfsRoot>/class/tty with a device link, in byte order of
// kernel name, without 8250-style ports that have no UART (type 0).
std::vector<HardwarePort> ListSysfsHardware(const std::string& sysfsRoot);

// Gives hardware ports the friendly names "<description> (COMn)" with
// n = 1, 2, 3 ... in order, skipping the numbers in usedNumbers.
std::vector<PortEntry> NameHardwarePorts(const std::vector<HardwarePort>& ports,
                                         const std::set<int>& usedNumbers);

// Both sources in order: the port directory, then the named hardware ports.
std::vector<PortEntry> ListPresentPorts(const std::string& portDir, const std::string& sysfsRoot);
// The same over the default roots.
std::vector<PortEntry> ListPresentPorts();

}  // namespace tallylink
