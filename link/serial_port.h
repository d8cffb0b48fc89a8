// The serial engine: opens the machine's port, and one monitor thread per
// opening owns all I/O on it, writing queued commands and handing received
// bytes to the receive callback in chunks.
//
// Everything one opening needs lives in a Session shared by the engine and
// its monitor thread. A monitor thread that cannot be stopped in time (it is
// blocked in a failure report the host shows) is let go with its Session,
// and the engine goes on without waiting for it; no thread is ever killed.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "port_backend.h"

namespace tallylink {

class SerialPort : public PortBackend {
  public:
    // A chunk handed to the receive callback holds at most this many bytes,
    // and ends early after a gap longer than kChunkGapMs between two bytes.
    static constexpr unsigned kReadChunkSize = 1024;
    static constexpr int kChunkGapMs = 20;
    // Largest write; longer ones are cut to it.
    static constexpr unsigned kWriteBufferSize = 2048;
    // Commands waiting for the monitor thread. A command queued while this
    // many wait blocks its caller until one is written (at most
    // kQueueWaitMs, and not at all once the monitor thread has ended).
    static constexpr unsigned kWriteQueueDepth = 16;
    static constexpr int kQueueWaitMs = 1000;
    // How long closing waits for the monitor thread to end.
    static constexpr int kStopWaitMs = 1000;

    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device of present port COMn (see port_sources.h).
    int Open(ReceiveCallback callback, int portNumber) override;
    // Opens devicePath and reports failures under portNumber. Open in all
    // but the look-up; tests use it to open a pseudo-terminal directly.
    int OpenDevice(ReceiveCallback callback, int portNumber, const std::string& devicePath);
    int StartMonitor() override;
    bool IsStarted() const override;
    int Close() override;
    void QueueWrite(const unsigned char* bytes, unsigned count) override;

    // Whether a monitor thread of the current opening runs.
    bool IsMonitorAlive() const;

    struct Session;

  private:
    int OpenPath(const std::string& devicePath, int portNumber);
    void StopSession();

    mutable std::mutex apiLock_;
    std::shared_ptr<Session> session_;
    std::thread monitor_;
    ReceiveCallback callback_ = nullptr;
    std::atomic<bool> started_{false};
};

}  // namespace tallylink
