#include "tally_test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "failure_report.h"

namespace tallytest {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

std::atomic<FailureCapture*> g_capture{nullptr};

}  // namespace

TempDir::TempDir() {
    char pattern[] = "/tmp/tallytest.XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() { nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string TempDir::MakeDir(const std::string& relative) const {
    std::string full = path_;
    size_t at = 0;
    while (at <= relative.size()) {
        size_t slash = relative.find('/', at);
        if (slash == std::string::npos) slash = relative.size();
        full = path_ + "/" + relative.substr(0, slash);
        mkdir(full.c_str(), 0755);
        at = slash + 1;
    }
    return full;
}

std::string TempDir::WriteFile(const std::string& relative, const std::string& content) const {
    size_t slash = relative.rfind('/');
    if (slash != std::string::npos) MakeDir(relative.substr(0, slash));
    std::string full = path_ + "/" + relative;
    std::ofstream(full, std::ios::binary) << content;
    return full;
}

std::string TempDir::Symlink(const std::string& relative, const std::string& target) const {
    size_t slash = relative.rfind('/');
    if (slash != std::string::npos) MakeDir(relative.substr(0, slash));
    std::string full = path_ + "/" + relative;
    symlink(target.c_str(), full.c_str());
    return full;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (had_) {
        setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

FailureCapture::FailureCapture() {
    g_capture.store(this);
    tallylink::SetFailureSinkForTesting(&FailureCapture::Sink);
}

FailureCapture::~FailureCapture() {
    Release();
    tallylink::SetFailureSinkForTesting(nullptr);
    g_capture.store(nullptr);
}

void FailureCapture::Sink(const char* text, const char* caption) {
    FailureCapture* self = g_capture.load();
    if (self == nullptr) return;
    std::unique_lock<std::mutex> lock(self->lock_);
    self->reports_.push_back(text);
    self->captions_.push_back(caption);
    self->changed_.notify_all();
    self->changed_.wait(lock, [self] { return !self->hold_; });
}

std::vector<std::string> FailureCapture::Reports() const {
    std::lock_guard<std::mutex> lock(lock_);
    return reports_;
}

std::vector<std::string> FailureCapture::Captions() const {
    std::lock_guard<std::mutex> lock(lock_);
    return captions_;
}

bool FailureCapture::WaitFor(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return reports_.size() >= count; });
}

void FailureCapture::Hold() {
    std::lock_guard<std::mutex> lock(lock_);
    hold_ = true;
}

void FailureCapture::Release() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        hold_ = false;
    }
    changed_.notify_all();
}

PtyPair::PtyPair() {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        return;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios tio;
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
        close(slave);
    }
    master_ = master;
    slavePath_ = name;
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPair::Write(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p = {master_, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

std::vector<uint8_t> PtyPair::Read(size_t count, std::chrono::milliseconds timeout) const {
    std::vector<uint8_t> bytes;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p = {master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        uint8_t buffer[4096];
        ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (n > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // No slave open at the moment: look again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return bytes;
}

std::vector<uint8_t> PtyPair::ReadAvailable(std::chrono::milliseconds quiet) const {
    std::vector<uint8_t> bytes;
    for (;;) {
        pollfd p = {master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
        uint8_t buffer[4096];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

SimulatedMachine::SimulatedMachine(tallysim::Faults faults, int com,
                                   const std::string& friendlyName, bool pace)
    : dir_(new TempDir), machine_(faults) {
    portDir_ = dir_->MakeDir("ports");
    std::string sysfs = dir_->MakeDir("sys/class/tty");
    portEnv_.reset(new ScopedEnv("TALLYLINK_PORT_DIR", portDir_.c_str()));
    sysfsEnv_.reset(new ScopedEnv("TALLYLINK_SYSFS_ROOT", (dir_->path() + "/sys").c_str()));
    tallysim::PtyOptions options;
    options.com = com;
    options.portDir = portDir_;
    options.friendlyName = friendlyName;
    options.pace = pace;
    port_.reset(new tallysim::PtyMachine(machine_, options));
    started_ = port_->Start(&error_);
}

SimulatedMachine::SimulatedMachine(SimulatedMachine& first, const std::string& friendlyName,
                                   tallysim::Faults faults)
    : portDir_(first.portDir_), machine_(faults) {
    tallysim::PtyOptions options;
    options.portDir = portDir_;
    options.friendlyName = friendlyName;
    port_.reset(new tallysim::PtyMachine(machine_, options));
    started_ = port_->Start(&error_);
}

SimulatedMachine::~SimulatedMachine() {
    port_.reset();
    sysfsEnv_.reset();
    portEnv_.reset();
}

void SimulatedMachine::AddRecords(unsigned count, unsigned first) {
    for (unsigned i = 0; i < count; ++i) machine_.AddRecord((first + i) & 0xFFFFu);
}

bool SimulatedMachine::WaitForClears(unsigned count, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (machine_.GetCounters().clears < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string TallysimPath() { return TALLYSIM_PATH; }

}  // namespace tallytest
