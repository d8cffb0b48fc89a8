// Port discovery over fixture port directories and fixture sysfs trees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "port_discovery.h"
#include "port_sources.h"
#include "tally_test_support.h"

namespace tallylink {
namespace {

using tallytest::ScopedEnv;
using tallytest::TempDir;

// A sysfs tree with the serial devices a PC with the machine plugged in
// might show, laid out as the kernel does: class/tty/<name> links into
// devices/, each tty folder with a device link to its parent device.
class SysfsTree {
  public:
    explicit SysfsTree(const TempDir& dir) : dir_(dir) {
        dir_.MakeDir("sys/class/tty");
        dir_.MakeDir("sys/bus/usb/drivers/cdc_acm");
        dir_.MakeDir("sys/bus/usb-serial/drivers/ftdi_sio");
    }
    std::string root() const { return dir_.path() + "/sys"; }

    // A tty below a USB interface (cdc_acm style): the tty's device is the
    // interface itself.
    void AddAcm(const std::string& tty, const std::string& usbDevice, const std::string& vid,
                const std::string& pid, const std::string& product, const std::string& interface) {
        std::string dev = "sys/devices/pci0000:00/usb1/" + usbDevice;
        dir_.WriteFile(dev + "/idVendor", vid + "\n");
        dir_.WriteFile(dev + "/idProduct", pid + "\n");
        if (!product.empty()) dir_.WriteFile(dev + "/product", product + "\n");
        std::string intf = dev + "/" + usbDevice + ":1.0";
        dir_.WriteFile(intf + "/bInterfaceNumber", "00\n");
        if (!interface.empty()) dir_.WriteFile(intf + "/interface", interface + "\n");
        dir_.Symlink(intf + "/driver", dir_.path() + "/sys/bus/usb/drivers/cdc_acm");
        AddTty(tty, intf);
    }
    // A USB serial converter: the tty's device is the usb-serial port
    // (ttyUSB0), bound to its own driver, below the interface.
    void AddUsbSerial(const std::string& tty, const std::string& usbDevice,
                      const std::string& product) {
        std::string dev = "sys/devices/pci0000:00/usb1/" + usbDevice;
        dir_.WriteFile(dev + "/idVendor", "0403\n");
        dir_.WriteFile(dev + "/idProduct", "6001\n");
        if (!product.empty()) dir_.WriteFile(dev + "/product", product + "\n");
        std::string intf = dev + "/" + usbDevice + ":1.0";
        dir_.WriteFile(intf + "/bInterfaceNumber", "00\n");
        std::string port = intf + "/" + tty;
        dir_.MakeDir(port);
        dir_.Symlink(port + "/driver", dir_.path() + "/sys/bus/usb-serial/drivers/ftdi_sio");
        AddTty(tty, port);
    }
    // An on-board 8250 port; type 0 means no UART answers at its address.
    void AddUart(const std::string& tty, const std::string& parent, int type) {
        std::string dev = "sys/devices/" + parent;
        dir_.MakeDir(dev);
        AddTty(tty, dev);
        dir_.WriteFile("sys/devices/" + parent + "/tty/" + tty + "/type",
                       std::to_string(type) + "\n");
    }
    // A terminal with no device behind it (a virtual console).
    void AddVirtual(const std::string& tty) {
        std::string folder = "sys/devices/virtual/tty/" + tty;
        dir_.MakeDir(folder);
        dir_.Symlink("sys/class/tty/" + tty, "../../devices/virtual/tty/" + tty);
    }

  private:
    void AddTty(const std::string& tty, const std::string& deviceFolder) {
        std::string folder = deviceFolder + "/tty/" + tty;
        dir_.MakeDir(folder);
        dir_.Symlink(folder + "/device", "../..");
        dir_.Symlink("sys/class/tty/" + tty, dir_.path() + "/" + folder);
    }
    const TempDir& dir_;
};

void AddStandardDevices(SysfsTree& tree) {
    tree.AddAcm("ttyACM0", "1-1", "0483", "5740", "STM32 Virtual ComPort", "");
    tree.AddAcm("ttyACM1", "1-2", "1234", "0001", "", "");
    tree.AddAcm("ttyACM2", "1-3", "1234", "0002", "Gadget", "Counter Port");
    tree.AddUsbSerial("ttyUSB0", "1-4", "FT232R USB UART");
    tree.AddUsbSerial("ttyUSB1", "1-5", "");
    tree.AddUart("ttyS0", "pnp0/00:04", 4);
    tree.AddUart("ttyS1", "platform/serial8250", 0);
    tree.AddVirtual("tty0");
}

TEST(SysfsSource, DescribesSerialDevicesAsTheWindowsDriverWould) {
    TempDir dir;
    SysfsTree tree(dir);
    AddStandardDevices(tree);

    std::vector<HardwarePort> ports = ListSysfsHardware(tree.root());
    std::vector<std::pair<std::string, std::string>> got;
    for (const HardwarePort& p : ports) got.emplace_back(p.kernelName, p.description);
    std::vector<std::pair<std::string, std::string>> want = {
        {"ttyACM0", "STMicroelectronics Virtual COM Port"},  // 0483:5740 whatever its strings
        {"ttyACM1", "USB Serial Device"},                    // cdc_acm without strings
        {"ttyACM2", "Counter Port"},                         // interface string before product
        {"ttyS0", "Communications Port"},                    // a real UART
        {"ttyUSB0", "FT232R USB UART"},                      // product string
        {"ttyUSB1", "USB Serial Port"},                      // another USB serial driver
    };  // ttyS1 (type 0) and tty0 (no device) are not ports
    EXPECT_EQ(got, want);
}

TEST(SysfsSource, MissingTreeYieldsNothing) {
    EXPECT_TRUE(ListSysfsHardware("/nonexistent/sysfs").empty());
    TempDir dir;
    EXPECT_TRUE(ListSysfsHardware(dir.path()).empty());
}

TEST(PortDirectory, ListsLinksToExistingDevicesInByteOrder) {
    TempDir dir;
    std::string ports = dir.MakeDir("ports");
    dir.Symlink("ports/b Port (COM2)", "/dev/null");
    dir.Symlink("ports/B Port (COM3)", "/dev/null");
    dir.Symlink("ports/a Port (COM4)", "/dev/zero");
    dir.Symlink("ports/gone (COM5)", dir.path() + "/no-such-device");
    dir.WriteFile("ports/plain file (COM6)", "");
    dir.MakeDir("ports/folder (COM8)");

    std::vector<PortEntry> entries = ListPortDirectory(ports);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].friendlyName, "B Port (COM3)");
    EXPECT_EQ(entries[1].friendlyName, "a Port (COM4)");
    EXPECT_EQ(entries[1].devicePath, "/dev/zero");
    EXPECT_EQ(entries[2].friendlyName, "b Port (COM2)");
    EXPECT_TRUE(ListPortDirectory(dir.path() + "/missing").empty());
}

TEST(PortDirectory, DefaultFollowsTheEnvironment) {
    {
        ScopedEnv own("TALLYLINK_PORT_DIR", "/x/ports");
        EXPECT_EQ(DefaultPortDirectory(), "/x/ports");
    }
    ScopedEnv own("TALLYLINK_PORT_DIR", nullptr);
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        EXPECT_EQ(DefaultPortDirectory(), "/run/user/1000/tallylink/ports");
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(DefaultPortDirectory(), "/tmp/tallylink-" + std::to_string(getuid()) + "/ports");
}

TEST(PresentPorts, HardwareNumbersSkipThoseOfThePortDirectory) {
    TempDir dir;
    SysfsTree tree(dir);
    tree.AddAcm("ttyACM0", "1-1", "0483", "5740", "", "");
    tree.AddUart("ttyS0", "pnp0/00:04", 4);
    tree.AddUart("ttyS2", "pnp0/00:05", 4);
    std::string ports = dir.MakeDir("ports");
    dir.Symlink("ports/NRV7350K Card Counter (COM2)", "/dev/null");
    dir.Symlink("ports/Other (COM1)", "/dev/null");

    std::vector<PortEntry> all = ListPresentPorts(ports, tree.root());
    std::vector<std::string> names;
    for (const PortEntry& e : all) names.push_back(e.friendlyName + " -> " + e.devicePath);
    std::vector<std::string> want = {
        "NRV7350K Card Counter (COM2) -> /dev/null",
        "Other (COM1) -> /dev/null",
        "STMicroelectronics Virtual COM Port (COM3) -> /dev/ttyACM0",
        "Communications Port (COM4) -> /dev/ttyS0",
        "Communications Port (COM5) -> /dev/ttyS2",
    };
    EXPECT_EQ(names, want);
    EXPECT_EQ(DevicePathForPort(all, 3), "/dev/ttyACM0");
    EXPECT_EQ(DevicePathForPort(all, 2), "/dev/null");
    EXPECT_EQ(DevicePathForPort(all, 9), "");
}

TEST(PortName, ExtractedBetweenTheLastOpeningBracketAndTheNextClosingOne) {
    struct Case {
        const char* friendly;
        bool ok;
        const char* name;
    };
    const Case cases[] = {
        {"Virtual COM Port (COM5)", true, "COM5"},
        {"Port (A) (COM12)", true, "COM12"},
        {"Port (COM3) extra", true, "COM3"},
        {"x (COM1234)", true, "COM1234"},  // 7 characters still fit
        {"x (COM12345)", false, ""},       // 8 would overrun the buffer
        {"no brackets", false, ""},
        {"open only (COM7", false, ""},
        {"closed before ) (COM7", false, ""},
        {"()", true, ""},
    };
    for (const Case& c : cases) {
        std::string name = "untouched";
        EXPECT_EQ(ExtractPortName(c.friendly, &name), c.ok) << c.friendly;
        EXPECT_EQ(name, c.ok ? c.name : "untouched") << c.friendly;
    }
}

TEST(PortName, NumberOnlyForComWithOneOrTwoDigits) {
    struct Case {
        const char* name;
        int number;
    };
    const Case cases[] = {
        {"COM7", 7},  {"COM12", 12}, {"COM99", 99}, {"COM07", 7}, {"COM0", 0},
        {"COM00", 0}, {"COM123", 0}, {"COM", 0},    {"COMx", 0},  {"COM1x", 0},
        {"LPT1", 0},  {"com7", 0},   {"", 0},       {"CO", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(PortNumberFromName(c.name), c.number) << c.name;
    EXPECT_EQ(PortNumberFromName(nullptr), 0);

    // An 8-byte buffer without a zero byte is read no further than needed
    // (AddressSanitizer watches the bytes after it).
    std::unique_ptr<char[]> full(new char[8]);
    std::memcpy(full.get(), "COM12345", 8);
    EXPECT_EQ(PortNumberFromName(full.get()), 0);
}

// FindDevicePort over a port directory of fixture entries; every entry
// points at /dev/null, which exists.
struct FindCase {
    const char* title;
    std::vector<const char*> entries;
    const char* found;  // nullptr: no port
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.title; }

class FindDevicePortTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindDevicePortTest, PicksByMatchStringOrder) {
    const FindCase& c = GetParam();
    TempDir dir;
    dir.MakeDir("ports");
    dir.MakeDir("sys/class/tty");
    for (const char* entry : c.entries) dir.Symlink(std::string("ports/") + entry, "/dev/null");
    ScopedEnv portDir("TALLYLINK_PORT_DIR", (dir.path() + "/ports").c_str());
    ScopedEnv sysfs("TALLYLINK_SYSFS_ROOT", (dir.path() + "/sys").c_str());

    char name[8] = {'C', 'O', 'M', '1', 0, 0, 0, 0};
    int result = FindDevicePort(name);
    if (c.found == nullptr) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(std::memcmp(name, "COM1\0\0\0\0", 8), 0);  // untouched
    } else {
        EXPECT_EQ(result, 1);
        EXPECT_STREQ(name, c.found);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindDevicePortTest,
    ::testing::Values(
        FindCase{"stm32_after_usb_serial",
                 {"USB Serial Port (COM3)", "STM32 Virtual COM Port (COM8)"},
                 "COM8"},
        FindCase{"string2_beats_earlier_string3",
                 {"STM32 Virtual COM Port (COM4)", "STMicroelectronics Virtual COM Port (COM9)"},
                 "COM9"},
        FindCase{"string1_beats_earlier_string2",
                 {"A STMicroelectronics Virtual COM Port (COM2)", "NRV7350K Card Counter (COM7)"},
                 "COM7"},
        FindCase{"case_sensitive", {"stm32 virtual com port (COM4)"}, nullptr},
        FindCase{"two_bracketed_parts", {"Port (A) 7350K (COM12)"}, "COM12"},
        FindCase{
            "malformed_names_passed_over",
            {"7350K no brackets", "7350K open only (COM3", "7350K a (COM12345)", "7350K b (COM123)",
             "7350K c (LPT1)", "7350K d (COM)", "7350K e (COM0)", "7350K f (COM5)"},
            "COM5"},
        FindCase{"only_malformed", {"7350K (COM", "STM32 Virtual COM ()"}, nullptr},
        FindCase{"nothing_present", {}, nullptr}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return info.param.title; });

TEST(FindDevicePort, FindsTheMachineInSysfsWithoutAnyPortDirectory) {
    TempDir dir;
    SysfsTree tree(dir);
    AddStandardDevices(tree);
    ScopedEnv portDir("TALLYLINK_PORT_DIR", (dir.path() + "/no-ports").c_str());
    ScopedEnv sysfs("TALLYLINK_SYSFS_ROOT", tree.root().c_str());

    char name[8] = {'C', 'O', 'M', '1', 0, 0, 0, 0};
    ASSERT_EQ(FindDevicePort(name), 1);
    EXPECT_STREQ(name, "COM1");
    EXPECT_EQ(DevicePathForPort(ListPresentPorts(), PortNumberFromName(name)), "/dev/ttyACM0");
}

}  // namespace
}  // namespace tallylink
