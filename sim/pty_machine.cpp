#include "pty_machine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tallysim {

namespace {

using Clock = std::chrono::steady_clock;

bool MakeDirectories(const std::string& path) {
    std::string partial;
    size_t at = 0;
    while (at != std::string::npos) {
        size_t slash = path.find('/', at + 1);
        partial = path.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        at = slash;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LinkTarget(const std::string& link) {
    char target[PATH_MAX];
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

void WriteAll(int fd, const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t w = write(fd, bytes + done, count - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody reads the port: wait a little, then give the reply up
            // as a real line would lose it.
            pollfd p = {fd, POLLOUT, 0};
            if (poll(&p, 1, 200) <= 0) return;
        } else {
            return;
        }
    }
}

}  // namespace

std::string DefaultPortDirectory() {
    const char* own = std::getenv("TALLYLINK_PORT_DIR");
    if (own != nullptr && own[0] != '\0') return own;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/tallylink/ports";
    return "/tmp/tallylink-" + std::to_string(getuid()) + "/ports";
}

PtyMachine::PtyMachine(Machine& machine, PtyOptions options)
    : machine_(machine), options_(std::move(options)) {
    portDir_ = options_.portDir.empty() ? DefaultPortDirectory() : options_.portDir;
    friendlyName_ = options_.friendlyName.empty()
                        ? "NRV7350K Card Counter (COM" + std::to_string(options_.com) + ")"
                        : options_.friendlyName;
}

PtyMachine::~PtyMachine() { Stop(); }

bool PtyMachine::Start(std::string* error) {
    if (friendlyName_.find('/') != std::string::npos || friendlyName_ == "." ||
        friendlyName_ == "..") {
        if (error) *error = "the friendly name cannot be a file name: " + friendlyName_;
        return false;
    }
    if (!MakeDirectories(portDir_)) {
        if (error)
            *error = "cannot create the port directory " + portDir_ + ": " + std::strerror(errno);
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error) *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    if (!OpenPty(error)) {
        Stop();
        return false;
    }
    StartThread();
    return true;
}

void PtyMachine::Stop() {
    StopThread();
    ClosePty();
    if (wakeRead_ >= 0) close(wakeRead_);
    if (wakeWrite_ >= 0) close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
}

void PtyMachine::Vanish() {
    StopThread();
    ClosePty();
    StartThread();
}

bool PtyMachine::Reappear(std::string* error) {
    StopThread();
    bool ok = Present() || OpenPty(error);
    StartThread();
    return ok;
}

bool PtyMachine::Present() const {
    std::lock_guard<std::mutex> lock(lock_);
    return master_ >= 0;
}

void PtyMachine::Inject(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    if (master_ >= 0) WriteAll(master_, bytes.data(), bytes.size());
}

std::string PtyMachine::DevicePath() const {
    std::lock_guard<std::mutex> lock(lock_);
    return devicePath_;
}

std::string PtyMachine::FriendlyName() const { return friendlyName_; }

std::string PtyMachine::LinkPath() const { return portDir_ + "/" + friendlyName_; }

bool PtyMachine::OpenPty(std::string* error) {
    auto fail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return false;
    };
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return fail("posix_openpt");
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        return fail("pseudo-terminal set-up");
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    // Raw on the slave side from the start, as a serial port would be:
    // no echo, no line editing, no newline translation.
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios tio;
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetispeed(&tio, B115200);
            cfsetospeed(&tio, B115200);
            tcsetattr(slave, TCSANOW, &tio);
        }
        close(slave);
    }

    std::string link = LinkPath();
    unlink(link.c_str());  // a stale entry of an earlier run
    if (symlink(name, link.c_str()) != 0) {
        close(master);
        return fail(("cannot register " + link).c_str());
    }
    std::lock_guard<std::mutex> lock(lock_);
    master_ = master;
    devicePath_ = name;
    linkPath_ = link;
    return true;
}

void PtyMachine::ClosePty() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!linkPath_.empty() && LinkTarget(linkPath_) == devicePath_) unlink(linkPath_.c_str());
    linkPath_.clear();
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyMachine::StartThread() {
    if (thread_.joinable() || wakeRead_ < 0) return;
    stop_.store(false);
    thread_ = std::thread(&PtyMachine::Run, this);
}

void PtyMachine::StopThread() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakeWrite_, &byte, 1);
    thread_.join();
    char sink[64];
    while (read(wakeRead_, sink, sizeof sink) > 0) {
    }
}

void PtyMachine::SendBurst(int master, const Burst& burst) {
    if (burst.pauseBeforeMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(burst.pauseBeforeMs));
    }
    if (!options_.pace) {
        WriteAll(master, burst.bytes.data(), burst.bytes.size());
        return;
    }
    // Small slices on the schedule of a 115200-baud line; each slice is
    // well under a millisecond of line time, far below the 20 ms gap that
    // ends a received chunk.
    constexpr size_t kSlice = 8;
    const Clock::time_point start = Clock::now();
    for (size_t at = 0; at < burst.bytes.size(); at += kSlice) {
        size_t count = std::min(kSlice, burst.bytes.size() - at);
        WriteAll(master, burst.bytes.data() + at, count);
        auto due = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>((at + count) * kByteSeconds));
        std::this_thread::sleep_until(due);
    }
}

void PtyMachine::Run() {
    std::mt19937 random(options_.seed);
    std::uniform_int_distribution<unsigned> quantity(1, 200);
    const auto autoPeriod = std::chrono::milliseconds(options_.autoMs);
    Clock::time_point nextRecord = Clock::now() + autoPeriod;
    Clock::time_point returnAt = Clock::time_point::max();
    bool hungUp = false;
    uint8_t buffer[4096];

    while (!stop_.load()) {
        int master;
        {
            std::lock_guard<std::mutex> lock(lock_);
            master = master_;
        }
        Clock::time_point wakeAt = Clock::time_point::max();
        if (options_.autoMs > 0) wakeAt = nextRecord;
        if (master < 0) wakeAt = std::min(wakeAt, returnAt);
        // Some kernels report a hang-up on the master while no program has
        // the port open; look again a little later instead of spinning.
        if (hungUp) wakeAt = std::min(wakeAt, Clock::now() + std::chrono::milliseconds(10));
        int timeout = -1;
        if (wakeAt != Clock::time_point::max()) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count() + 1));
        }

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {hungUp ? -1 : master, POLLIN, 0}};
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) break;
        hungUp = false;
        if (ready > 0 && fds[0].revents != 0) continue;  // stop_ is looked at above

        if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                for (const Burst& burst : machine_.Receive(buffer, static_cast<size_t>(n))) {
                    SendBurst(master, burst);
                }
                if (machine_.TakeVanish()) {
                    // Let the last reply reach the reader first: closing the
                    // master drops what the slave has not taken in yet.
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    ClosePty();
                    if (options_.returnAfterMs > 0) {
                        returnAt = Clock::now() + std::chrono::milliseconds(options_.returnAfterMs);
                    }
                }
            } else {
                hungUp = true;
            }
        } else if (ready > 0 && fds[1].revents != 0) {
            hungUp = true;
        }

        Clock::time_point now = Clock::now();
        if (options_.autoMs > 0 && now >= nextRecord) {
            machine_.AddRecord(quantity(random));
            nextRecord += autoPeriod;
            if (nextRecord < now) nextRecord = now + autoPeriod;
        }
        if (master < 0 && now >= returnAt) {
            returnAt = Clock::time_point::max();
            OpenPty(nullptr);
        }
    }
}

}  // namespace tallysim
