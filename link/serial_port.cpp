#include "serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>

#include "failure_report.h"
#include "port_discovery.h"
#include "port_sources.h"

namespace tallylink {

namespace {

// Gives the device up. The exclusive mode goes first: a pseudo-terminal
// keeps it after its last close for as long as its other side is open, and
// would refuse our own next opening.
void ReleasePort(int fd) {
    ioctl(fd, TIOCNXCL);
    close(fd);
}

}  // namespace

struct SerialPort::Session {
    Session(int number, ReceiveCallback receive) : portNumber(number), callback(receive) {
        int fds[2];
        if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            wakeRead = fds[0];
            wakeWrite = fds[1];
        } else {
            wakeError = errno;
        }
    }
    ~Session() {
        int f = fd.load();
        if (f >= 0) ReleasePort(f);
        if (wakeRead >= 0) close(wakeRead);
        if (wakeWrite >= 0) close(wakeWrite);
    }

    void Wake() {
        if (wakeWrite >= 0) {
            const char byte = 1;
            // A full pipe already holds a wake-up; nothing is lost.
            [[maybe_unused]] ssize_t n = write(wakeWrite, &byte, 1);
        }
    }
    void EmptyWakePipe() {
        char sink[64];
        while (read(wakeRead, sink, sizeof sink) > 0) {
        }
    }

    // Only the monitor thread closes the port while it runs, and it does so
    // under portLock, so the engine never acts on a number already reused.
    void ClosePort() {
        std::lock_guard<std::mutex> lock(portLock);
        int f = fd.exchange(-1);
        if (f >= 0) ReleasePort(f);
    }

    // A report from the monitor thread. Once closing has begun nobody waits
    // for the port any more, so later failures are not shown.
    void Report(const char* step, int errnum) {
        if (!shutdown.load()) ReportFailure(step, errnum, portNumber);
    }

    bool HasQueuedWrite() {
        std::lock_guard<std::mutex> lock(queueLock);
        return queued != 0;
    }
    // Moves the oldest queued command into writeScratch; its length, or 0.
    unsigned TakeWrite() {
        unsigned length = 0;
        {
            std::lock_guard<std::mutex> lock(queueLock);
            if (queued == 0) return 0;
            length = lengths[head];
            std::memcpy(writeScratch, slots[head], length);
            head = (head + 1) % kWriteQueueDepth;
            --queued;
        }
        queueSpace.notify_all();
        return length;
    }

    const int portNumber;
    const ReceiveCallback callback;

    std::mutex portLock;
    std::atomic<int> fd{-1};
    int wakeRead = -1;
    int wakeWrite = -1;
    int wakeError = 0;

    std::atomic<bool> shutdown{false};
    std::atomic<bool> alive{false};
    std::atomic<bool> ended{false};
    std::mutex endLock;
    std::condition_variable endSignal;

    std::mutex queueLock;
    std::condition_variable queueSpace;
    unsigned char slots[kWriteQueueDepth][kWriteBufferSize];
    unsigned lengths[kWriteQueueDepth] = {};
    unsigned head = 0;
    unsigned queued = 0;

    unsigned char readBuffer[kReadChunkSize];
    unsigned char writeScratch[kWriteBufferSize];
};

namespace {

using Session = SerialPort::Session;

bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK; }

// Reads everything the port holds, handing it to the callback in chunks. A
// chunk ends after kReadChunkSize bytes or when no byte follows within
// kChunkGapMs, so a reply the machine sends in one burst arrives whole. A
// read failure (the device gone) closes the port.
void DrainInput(Session& s) {
    for (;;) {
        // Between chunks a queued command goes first, as at every wake-up;
        // what is still unread then is stale and discarded before it.
        if (s.shutdown.load() || s.HasQueuedWrite()) return;
        const int fd = s.fd.load();
        if (fd < 0) return;

        ssize_t r = read(fd, s.readBuffer, SerialPort::kReadChunkSize);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && WouldBlock(errno)) return;
        if (r <= 0) {
            // A hung-up terminal reads as end of file.
            s.Report("ReadFile()", r == 0 ? EIO : errno);
            s.ClosePort();
            return;
        }
        unsigned count = static_cast<unsigned>(r);

        const char* failedStep = nullptr;
        int failure = 0;
        while (count < SerialPort::kReadChunkSize) {
            pollfd p = {fd, POLLIN, 0};
            timespec gap = {0, SerialPort::kChunkGapMs * 1000000L};
            int ready = ppoll(&p, 1, &gap, nullptr);
            if (ready == 0) break;  // the gap that ends a chunk
            if (ready < 0) {
                if (errno == EINTR) continue;
                break;
            }
            ssize_t more = read(fd, s.readBuffer + count, SerialPort::kReadChunkSize - count);
            if (more > 0) {
                count += static_cast<unsigned>(more);
            } else if (more < 0 && (errno == EINTR || WouldBlock(errno))) {
                continue;
            } else {
                failedStep = "GetOverlappedResults() in ReadFile()";
                failure = more == 0 ? EIO : errno;
                break;
            }
        }

        if (s.callback != nullptr) s.callback(s.readBuffer, count);
        if (failedStep != nullptr) {
            s.Report(failedStep, failure);
            s.ClosePort();
            return;
        }
    }
}

// Writes the oldest queued command. Input not read by now is stale (a late
// reply to an earlier command) and is discarded first. Only the input side
// is flushed: on a pseudo-terminal, and on any line whose driver still holds
// our previous command, flushing the output side would drop that command
// before the machine saw it.
void SendPending(Session& s) {
    unsigned length = s.TakeWrite();
    const int fd = s.fd.load();
    if (length == 0 || fd < 0) return;

    tcflush(fd, TCIFLUSH);
    const char* failedStep = nullptr;
    int failure = 0;
    unsigned done = 0;
    while (done < length) {
        ssize_t w = write(fd, s.writeScratch + done, length - done);
        if (w > 0) {
            done += static_cast<unsigned>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && WouldBlock(errno)) {
            pollfd p = {fd, POLLOUT, 0};
            int ready = poll(&p, 1, 1000);
            if (ready > 0 && (p.revents & POLLOUT) != 0) continue;
            failedStep = "GetOverlappedResults() in WriteFile()";
            failure = ready == 0 ? ETIMEDOUT : EIO;
            break;
        }
        failedStep = "WriteFile()";
        failure = w == 0 ? EIO : errno;
        break;
    }
    if (failedStep == nullptr && tcdrain(fd) != 0) {
        failedStep = "GetOverlappedResults() in WriteFile()";
        failure = errno;
    }
    // The port stays open after a failed write; the machine may answer the
    // next command.
    if (failedStep != nullptr) s.Report(failedStep, failure);
}

// The monitor thread: wakes on shutdown, then a queued write, then received
// bytes, in that order of priority, and ends every wake-up by draining the
// input.
void MonitorLoop(std::shared_ptr<Session> session) {
    Session& s = *session;
    if (int fd = s.fd.load(); fd >= 0) tcflush(fd, TCIOFLUSH);
    {
        // From here on every byte the machine sends reaches the callback.
        std::lock_guard<std::mutex> lock(s.endLock);
        s.alive.store(true);
    }
    s.endSignal.notify_all();

    for (;;) {
        if (s.shutdown.load()) break;
        const int fd = s.fd.load();
        if (fd < 0) {
            // The port was closed after a read failure.
            s.Report("WaitCommEvent()", EBADF);
            break;
        }
        if (s.HasQueuedWrite()) {
            SendPending(s);
            DrainInput(s);
            continue;
        }

        pollfd fds[2] = {{s.wakeRead, POLLIN, 0}, {fd, POLLIN, 0}};
        // Without a wake pipe, shutdown and writes are noticed by polling.
        int ready = poll(fds, 2, s.wakeRead >= 0 ? -1 : 50);
        if (ready < 0) {
            if (errno == EINTR) continue;
            s.Report("WaitCommEvent()", errno);
            s.ClosePort();
            break;
        }
        if (fds[0].revents != 0) {
            s.EmptyWakePipe();
            continue;  // the flags at the top of the loop say what woke us
        }
        const short events = fds[1].revents;
        if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            // The device went away (pseudo-terminal closed, USB unplugged):
            // hand over what it still sent; the read then fails and closes
            // the port.
            DrainInput(s);
            if (s.fd.load() >= 0 && !s.shutdown.load()) {
                s.Report("WaitCommEvent()", EIO);
                s.ClosePort();
                break;
            }
            continue;
        }
        if ((events & POLLIN) != 0) DrainInput(s);
        DrainInput(s);
    }

    s.alive.store(false);
    {
        std::lock_guard<std::mutex> lock(s.endLock);
        s.ended.store(true);
    }
    s.endSignal.notify_all();
    s.queueSpace.notify_all();
}

}  // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() {
    std::lock_guard<std::mutex> lock(apiLock_);
    StopSession();
}

int SerialPort::Open(ReceiveCallback callback, int portNumber) {
    std::lock_guard<std::mutex> lock(apiLock_);
    if (callback != nullptr) callback_ = callback;
    StopSession();
    std::string path = DevicePathForPort(ListPresentPorts(), portNumber);
    if (path.empty()) return 0;
    return OpenPath(path, portNumber);
}

int SerialPort::OpenDevice(ReceiveCallback callback, int portNumber,
                           const std::string& devicePath) {
    std::lock_guard<std::mutex> lock(apiLock_);
    if (callback != nullptr) callback_ = callback;
    StopSession();
    return OpenPath(devicePath, portNumber);
}

int SerialPort::OpenPath(const std::string& devicePath, int portNumber) {
    int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    // Exclusive use. TIOCEXCL makes the kernel refuse further opens of the
    // terminal (root excepted); the lock also stops programs that take it,
    // root or not. A device that is no terminal fails TIOCEXCL and is
    // reported by the configuration below.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return 0;
    }
    ioctl(fd, TIOCEXCL);

    auto session = std::make_shared<Session>(portNumber, callback_);
    session->fd.store(fd);

    // Configuration steps carry the names operators know from the Windows
    // build. The first failure is reported and the rest skipped; the port
    // stays open with whatever settings it took.
    auto report = [&](const char* step) {
        ReportFailure(step, errno, portNumber);
        return false;
    };
    auto configure = [&]() -> bool {
        termios tio;
        // Raw bytes; with O_NONBLOCK, VMIN 1 makes an empty read fail with
        // EAGAIN, so a read of 0 bytes can only mean the device hung up.
        if (tcgetattr(fd, &tio) != 0) return report("SetCommTimeouts()");
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        if (tcsetattr(fd, TCSANOW, &tio) != 0) return report("SetCommTimeouts()");

        if (session->wakeRead < 0) {
            errno = session->wakeError;
            return report("SetCommMask()");
        }

        if (tcgetattr(fd, &tio) != 0) return report("GetCommState()");

        if (cfsetispeed(&tio, B115200) != 0 || cfsetospeed(&tio, B115200) != 0) {
            return report("BuildCommDCB()");
        }
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        int lines = TIOCM_DTR | TIOCM_RTS;
        // A pseudo-terminal has no modem lines and answers ENOTTY (some
        // drivers EINVAL); there is nothing to raise, which is no failure.
        if (ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
            return report("BuildCommDCB()");
        }

        if (tcsetattr(fd, TCSANOW, &tio) != 0) return report("SetCommState()");
        return true;
    };
    configure();
    tcflush(fd, TCIOFLUSH);

    session_ = std::move(session);
    return 1;
}

int SerialPort::StartMonitor() {
    std::lock_guard<std::mutex> lock(apiLock_);
    if (!session_) return 0;
    if (monitor_.joinable()) return 1;  // this opening already has its thread
    try {
        monitor_ = std::thread(MonitorLoop, session_);
    } catch (const std::system_error&) {
        return 0;
    }
    started_.store(true);
    // Return once the thread runs, so nothing sent from now on is lost to
    // the purge it starts with.
    std::unique_lock<std::mutex> wait(session_->endLock);
    session_->endSignal.wait_for(wait, std::chrono::milliseconds(kStopWaitMs),
                                 [&] { return session_->alive.load() || session_->ended.load(); });
    return 1;
}

bool SerialPort::IsStarted() const { return started_.load(); }

bool SerialPort::IsMonitorAlive() const {
    std::lock_guard<std::mutex> lock(apiLock_);
    return session_ && session_->alive.load();
}

int SerialPort::Close() {
    std::lock_guard<std::mutex> lock(apiLock_);
    StopSession();
    started_.store(false);
    return 1;
}

void SerialPort::QueueWrite(const unsigned char* bytes, unsigned count) {
    std::shared_ptr<Session> s;
    {
        std::lock_guard<std::mutex> lock(apiLock_);
        s = session_;
    }
    if (!s || bytes == nullptr || count == 0) return;
    if (count > kWriteBufferSize) count = kWriteBufferSize;
    {
        std::unique_lock<std::mutex> lock(s->queueLock);
        // A command is never dropped for a newer one: a dropped clear
        // command makes the machine hand the same records out again.
        auto room = [&] { return s->queued < kWriteQueueDepth || s->ended.load(); };
        if (!s->queueSpace.wait_for(lock, std::chrono::milliseconds(kQueueWaitMs), room) ||
            s->ended.load()) {
            return;  // nobody will ever write it
        }
        unsigned slot = (s->head + s->queued) % kWriteQueueDepth;
        std::memcpy(s->slots[slot], bytes, count);
        s->lengths[slot] = count;
        ++s->queued;
    }
    s->Wake();
}

// Asks the monitor thread to end, waits a bounded time for it, and closes
// the port. A thread that does not end in time (blocked in a failure report
// the host shows) is let go; its port is swapped for /dev/null so the device
// is free at once, while the descriptor number stays the thread's until it
// ends and drops its Session.
void SerialPort::StopSession() {
    if (!session_) return;
    std::shared_ptr<Session> s = std::move(session_);
    s->shutdown.store(true);
    s->Wake();
    s->queueSpace.notify_all();

    bool ended = true;
    if (monitor_.joinable()) {
        std::unique_lock<std::mutex> lock(s->endLock);
        ended = s->endSignal.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                      [&] { return s->ended.load(); });
    }
    if (monitor_.joinable()) {
        if (ended) {
            monitor_.join();
        } else {
            monitor_.detach();
        }
    }

    std::lock_guard<std::mutex> lock(s->portLock);
    int f = s->fd.load();
    if (f < 0) return;
    if (ended) {
        s->fd.store(-1);
        ReleasePort(f);
    } else {
        ioctl(f, TIOCNXCL);
        int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            dup3(null, f, O_CLOEXEC);
            close(null);
        }
    }
}

PortBackend& DefaultPortBackend() {
    static SerialPort port;
    return port;
}

}  // namespace tallylink
