#include "port_discovery.h"

#include <cstring>

namespace tallylink {

const char* const kPortMatchList[3] = {
    "7350K",
    "STMicroelectronics Virtual COM",
    "STM32 Virtual COM",
};

bool ExtractPortName(const std::string& friendlyName, std::string* portName) {
    size_t open = friendlyName.rfind('(');
    if (open == std::string::npos) return false;
    size_t close = friendlyName.find(')', open + 1);
    if (close == std::string::npos) return false;
    std::string inner = friendlyName.substr(open + 1, close - open - 1);
    if (inner.size() >= kPortNameSize) return false;
    *portName = inner;
    return true;
}

int ParsePortNumber(const char* name) {
    if (name == nullptr) return 0;
    // Every byte looked at lies before the first zero byte, and at most
    // five bytes (plus the zero) are examined.
    if (name[0] != 'C' || name[1] != 'O' || name[2] != 'M') return 0;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!isDigit(name[3])) return 0;
    int n = name[3] - '0';
    if (name[4] != '\0') {
        if (!isDigit(name[4]) || name[5] != '\0') return 0;
        n = n * 10 + (name[4] - '0');
    }
    return n;
}

bool FindPortMatching(const std::vector<PortEntry>& ports, const char* match,
                      std::string* portName) {
    for (const PortEntry& port : ports) {
        if (port.friendlyName.find(match) == std::string::npos) continue;
        std::string candidate;
        if (!ExtractPortName(port.friendlyName, &candidate)) continue;
        if (ParsePortNumber(candidate.c_str()) == 0) continue;
        *portName = candidate;
        return true;
    }
    return false;
}

std::string DevicePathForPort(const std::vector<PortEntry>& ports, int portNumber) {
    if (portNumber <= 0) return "";
    for (const PortEntry& port : ports) {
        std::string portName;
        if (ExtractPortName(port.friendlyName, &portName) &&
            ParsePortNumber(portName.c_str()) == portNumber) {
            return port.devicePath;
        }
    }
    return "";
}

int FindDevicePort(char* name) {
    if (name == nullptr) return 0;
    // A port matching an earlier string wins over one matching a later
    // string, wherever the two come in the enumeration; each string gets a
    // fresh look at the ports present.
    for (const char* match : kPortMatchList) {
        std::string portName;
        if (FindPortMatching(ListPresentPorts(), match, &portName)) {
            std::memcpy(name, portName.c_str(), portName.size() + 1);
            return 1;
        }
    }
    return 0;
}

int PortNumberFromName(const char* name) { return ParsePortNumber(name); }

}  // namespace tallylink
