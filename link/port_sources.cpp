#include "port_sources.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "port_discovery.h"

namespace tallylink {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? std::string(value) : fallback;
}

// Names in a directory, without "." and "..", in byte order.
std::vector<std::string> SortedNames(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned
    return names;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The first line of a small sysfs attribute, or "" when it cannot be read.
std::string ReadAttribute(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    char buffer[256];
    ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    if (n <= 0) return "";
    std::string text(buffer, static_cast<size_t>(n));
    size_t end = text.find_first_of(std::string("\n\0", 2));
    if (end != std::string::npos) text.erase(end);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return "";
    std::string result = resolved;
    std::free(resolved);
    return result;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

// The driver bound to a sysfs device folder ("cdc_acm", "ftdi_sio"), or "".
std::string DriverOf(const std::string& deviceDir) {
    std::string target = RealPath(deviceDir + "/driver");
    return target.empty() ? "" : BaseName(target);
}

// What the Windows driver of this port would show as its description. A USB
// serial port's tty device sits below its USB interface, which sits below
// the USB device; walking up from the tty's device finds both.
std::string DescribeDevice(const std::string& sysfsReal, const std::string& deviceReal) {
    std::string interfaceDir;
    std::string usbDir;
    for (std::string dir = deviceReal;
         dir.size() > sysfsReal.size() && dir.compare(0, sysfsReal.size(), sysfsReal) == 0;
         dir = Parent(dir)) {
        if (interfaceDir.empty() && Exists(dir + "/bInterfaceNumber")) interfaceDir = dir;
        if (Exists(dir + "/idVendor")) {
            usbDir = dir;
            break;
        }
    }
    if (usbDir.empty()) return "Communications Port";

    if (ReadAttribute(usbDir + "/idVendor") == "0483" &&
        ReadAttribute(usbDir + "/idProduct") == "5740") {
        return "STMicroelectronics Virtual COM Port";
    }
    if (!interfaceDir.empty()) {
        std::string text = ReadAttribute(interfaceDir + "/interface");
        if (!text.empty()) return text;
    }
    std::string product = ReadAttribute(usbDir + "/product");
    if (!product.empty()) return product;

    std::string driver = DriverOf(deviceReal);
    if (driver.empty() && !interfaceDir.empty()) driver = DriverOf(interfaceDir);
    return driver == "cdc_acm" ? "USB Serial Device" : "USB Serial Port";
}

}  // namespace

std::string DefaultPortDirectory() {
    const char* own = std::getenv("TALLYLINK_PORT_DIR");
    if (own != nullptr && own[0] != '\0') return own;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/tallylink/ports";
    return "/tmp/tallylink-" + std::to_string(getuid()) + "/ports";
}

std::string DefaultSysfsRoot() { return EnvOr("TALLYLINK_SYSFS_ROOT", "/sys"); }

std::vector<PortEntry> ListPortDirectory(const std::string& dir) {
    std::vector<PortEntry> ports;
    for (const std::string& name : SortedNames(dir)) {
        std::string path = dir + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        if (!Exists(path)) continue;  // dangling: the device is gone
        char target[PATH_MAX];
        ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        std::string device(target, static_cast<size_t>(n));
        if (device[0] != '/') device = dir + "/" + device;
        ports.push_back({name, device});
    }
    return ports;
}

std::vector<HardwarePort> ListSysfsHardware(const std::string& sysfsRoot) {
    std::vector<HardwarePort> ports;
    std::string sysfsReal = RealPath(sysfsRoot);
    if (sysfsReal.empty()) return ports;
    std::string classDir = sysfsRoot + "/class/tty";
    for (const std::string& name : SortedNames(classDir)) {
        std::string entry = classDir + "/" + name;
        // Virtual terminals and pseudo-terminals have no device link.
        std::string deviceReal = RealPath(entry + "/device");
        if (deviceReal.empty()) continue;
        // The serial8250 driver registers a fixed number of ports whether or
        // not a UART answers at the address; those without one read type 0.
        if (ReadAttribute(entry + "/type") == "0") continue;
        ports.push_back({name, DescribeDevice(sysfsReal, deviceReal)});
    }
    return ports;
}

std::vector<PortEntry> NameHardwarePorts(const std::vector<HardwarePort>& ports,
                                         const std::set<int>& usedNumbers) {
    std::vector<PortEntry> named;
    int n = 0;
    for (const HardwarePort& port : ports) {
        do {
            ++n;
        } while (usedNumbers.count(n) != 0);
        named.push_back(
            {port.description + " (COM" + std::to_string(n) + ")", "/dev/" + port.kernelName});
    }
    return named;
}

std::vector<PortEntry> ListPresentPorts(const std::string& portDir, const std::string& sysfsRoot) {
    std::vector<PortEntry> ports = ListPortDirectory(portDir);
    std::set<int> used;
    for (const PortEntry& entry : ports) {
        std::string portName;
        if (ExtractPortName(entry.friendlyName, &portName)) {
            int n = ParsePortNumber(portName.c_str());
            if (n > 0) used.insert(n);
        }
    }
    std::vector<PortEntry> hardware = NameHardwarePorts(ListSysfsHardware(sysfsRoot), used);
    ports.insert(ports.end(), hardware.begin(), hardware.end());
    return ports;
}

std::vector<PortEntry> ListPresentPorts() {
    return ListPresentPorts(DefaultPortDirectory(), DefaultSysfsRoot());
}

}  // namespace tallylink
