// The tallysim program as a child process: start-up lines, its port entry,
// answers over the pty, typed records, the command log and a clean end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tally_test_support.h"

namespace {

using namespace std::chrono_literals;
using tallytest::TempDir;

// A running tallysim with pipes on its standard input and output.
class SimProcess {
  public:
    SimProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv;
            std::string path = tallytest::TallysimPath();
            argv.push_back(const_cast<char*>(path.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (input_ >= 0) close(input_);
        if (output_ >= 0) close(output_);
    }

    // The next output line that starts with prefix (earlier lines are kept
    // in log()), or "" after timeout.
    std::string WaitLine(const std::string& prefix, std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            size_t newline;
            while ((newline = pending_.find('\n')) != std::string::npos) {
                std::string line = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                log_ += line + "\n";
                if (line.compare(0, prefix.size(), prefix) == 0) return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return "";
            pollfd p = {output_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[1024];
            ssize_t n = read(output_, buffer, sizeof buffer);
            if (n <= 0) return "";
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }
    void Type(const std::string& text) {
        [[maybe_unused]] ssize_t n = write(input_, text.data(), text.size());
    }
    int Stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& log() const { return log_; }

  private:
    pid_t pid_ = -1;
    bool waited_ = false;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    std::string log_;
};

std::vector<uint8_t> Exchange(int fd, const std::vector<uint8_t>& command, size_t replyLength) {
    tcflush(fd, TCIFLUSH);
    [[maybe_unused]] ssize_t w = write(fd, command.data(), command.size());
    std::vector<uint8_t> reply;
    auto deadline = std::chrono::steady_clock::now() + 3s;
    while (reply.size() < replyLength && std::chrono::steady_clock::now() < deadline) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        uint8_t buffer[512];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) reply.insert(reply.end(), buffer, buffer + n);
    }
    return reply;
}

int OpenRaw(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio;
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

TEST(TallysimProgram, RegistersAnswersLogsAndCleansUp) {
    TempDir dir;
    std::string ports = dir.path() + "/deep/ports";  // created by the simulator
    SimProcess sim({"--com", "9", "--port-dir", ports, "--records", "3", "--seed", "4"});
    std::string device = sim.WaitLine("device: ", 10s);
    ASSERT_FALSE(device.empty()) << sim.log();
    device = device.substr(8);
    EXPECT_EQ(sim.WaitLine("name: ", 5s), "name: NRV7350K Card Counter (COM9)");
    ASSERT_FALSE(sim.WaitLine("link: ", 5s).empty());

    const std::string link = ports + "/NRV7350K Card Counter (COM9)";
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), device);

    sim.Type("42\nnot a number\n");
    ASSERT_FALSE(sim.WaitLine("RECORD 42 stored=4", 5s).empty()) << sim.log();
    EXPECT_FALSE(sim.WaitLine("? ", 5s).empty());

    int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> state = Exchange(fd, {0xAA, 0xCA, 0xCA, 0x94}, 15);
    ASSERT_EQ(state.size(), 15u);
    EXPECT_EQ(state[13], 4);  // three preloaded records and the typed one
    EXPECT_FALSE(sim.WaitLine("STATE records=4", 5s).empty());
    std::vector<uint8_t> page = Exchange(fd, {0xAA, 0xC8, 0xC8, 0x90}, 4 + 12 + 1);
    ASSERT_EQ(page.size(), 17u);
    EXPECT_EQ(page[3], 12);
    EXPECT_EQ(page[14], 0);
    EXPECT_EQ(page[15], 42);
    Exchange(fd, {0xAA, 0xCB, 0xCB, 0x96}, 0);
    EXPECT_FALSE(sim.WaitLine("CLEAR records=4", 5s).empty()) << sim.log();
    close(fd);

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the entry is gone
}

TEST(TallysimProgram, FollowsThePortDirectoryRuleAndTakesANameOverride) {
    TempDir dir;
    std::string ports = dir.path() + "/env-ports";
    SimProcess sim({"--name", "STM32 Virtual COM Port (COM4)"}, {"TALLYLINK_PORT_DIR=" + ports});
    ASSERT_EQ(sim.WaitLine("name: ", 10s), "name: STM32 Virtual COM Port (COM4)") << sim.log();
    std::string link = ports + "/STM32 Virtual COM Port (COM4)";
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0);
}

TEST(TallysimProgram, AutoRecordsArriveAndBadOptionsAreRefused) {
    TempDir dir;
    SimProcess sim({"--port-dir", dir.path(), "--auto", "20", "--seed", "7"});
    std::string device = sim.WaitLine("device: ", 10s);
    ASSERT_FALSE(device.empty());
    int fd = OpenRaw(dir.path() + "/NRV7350K Card Counter (COM7)");
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> state;
    for (int tries = 0; tries < 100; ++tries) {
        state = Exchange(fd, {0xAA, 0xCA, 0xCA, 0x94}, 15);
        if (state.size() == 15 && state[13] >= 3) break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(state.size(), 15u);
    EXPECT_GE(state[13], 3);
    close(fd);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);

    for (std::vector<std::string> bad : {std::vector<std::string>{"--com", "100"},
                                         {"--auto"},
                                         {"--frobnicate"},
                                         {"--port-dir", dir.path(), "--name", "a/b"}}) {
        SimProcess refused(bad);
        EXPECT_NE(refused.Wait(), 0) << bad[0];
    }
}

}  // namespace
