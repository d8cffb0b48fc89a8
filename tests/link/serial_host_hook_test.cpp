// The failure report reaches the host program through the hook it exports.
// This program links the shared library, as tallydesk does, and exports
// tallylink_show_failure itself.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "tallylink.h"

namespace {

std::mutex g_lock;
std::vector<std::string> g_texts;
std::vector<std::string> g_captions;

}  // namespace

extern "C" void tallylink_show_failure(const char* text, const char* caption) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_texts.push_back(text);
    g_captions.push_back(caption);
}

namespace {

TEST(HostHook, PortFailureReportsGoToTheHostsHook) {
    char pattern[] = "/tmp/tallyhook.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    const std::string ports = root + "/ports";
    const std::string link = ports + "/NRV7350K Card Counter (COM7)";
    ASSERT_EQ(mkdir(ports.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((root + "/sys").c_str(), 0700), 0);
    // A device that is no terminal: it opens, but cannot be configured.
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    setenv("TALLYLINK_PORT_DIR", ports.c_str(), 1);
    setenv("TALLYLINK_SYSFS_ROOT", (root + "/sys").c_str(), 1);

    EXPECT_EQ(ConnectDov_Oz_Er(), 1);  // a failed setting is reported, not refused
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);

    unlink(link.c_str());
    rmdir(ports.c_str());
    rmdir((root + "/sys").c_str());
    rmdir(root.c_str());

    std::lock_guard<std::mutex> lock(g_lock);
    ASSERT_FALSE(g_texts.empty());
    EXPECT_EQ(g_texts[0],
              "WARNING:  SetCommTimeouts() Failed with the following error: \n"
              "Inappropriate ioctl for device\nPort: 7\n");
    for (const std::string& caption : g_captions) EXPECT_EQ(caption, "Application Error");
}

}  // namespace
