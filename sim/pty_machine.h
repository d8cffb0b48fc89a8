// Puts a Machine on a pseudo-terminal: the machine's side is the pty
// master, the slave is the serial port a program opens, and a symbolic link
// in the port directory gives it its friendly name.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "machine.h"

namespace tallysim {

struct PtyOptions {
    int com = 7;
    std::string portDir;       // "" picks DefaultPortDirectory()
    std::string friendlyName;  // "" picks "NRV7350K Card Counter (COM<com>)"
    bool pace = false;         // space reply bytes as on a 115200-baud line
    int autoMs = 0;            // a random record every autoMs milliseconds
    uint32_t seed = 1;
    int returnAfterMs = 0;  // after vanishing, come back after this long
};

// $TALLYLINK_PORT_DIR, else $XDG_RUNTIME_DIR/tallylink/ports, else
// /tmp/tallylink-<uid>/ports: where the device library looks for ports.
std::string DefaultPortDirectory();

// Seconds one byte takes on a 115200-baud 8N1 line (10 bit times).
constexpr double kByteSeconds = 10.0 / 115200.0;

class PtyMachine {
  public:
    PtyMachine(Machine& machine, PtyOptions options);
    ~PtyMachine();
    PtyMachine(const PtyMachine&) = delete;
    PtyMachine& operator=(const PtyMachine&) = delete;

    // Opens the pty, registers the port and starts answering.
    bool Start(std::string* error);
    // Stops answering, closes the pty and removes the port entry.
    void Stop();

    // The machine is pulled out: pty closed, port entry removed. The
    // records stay in the machine.
    void Vanish();
    // Plugged in again: a new pty under the same friendly name.
    bool Reappear(std::string* error);
    bool Present() const;
    // Sends bytes the machine did not mean to send (line noise, a stale
    // reply), written at once on the machine's side of the port.
    void Inject(const std::vector<uint8_t>& bytes);

    std::string DevicePath() const;
    std::string FriendlyName() const;
    std::string LinkPath() const;

  private:
    bool OpenPty(std::string* error);
    void ClosePty();
    void StartThread();
    void StopThread();
    void Run();
    void SendBurst(int master, const Burst& burst);

    Machine& machine_;
    PtyOptions options_;
    std::string portDir_;
    std::string friendlyName_;

    mutable std::mutex lock_;
    int master_ = -1;
    std::string devicePath_;
    std::string linkPath_;

    std::thread thread_;
    std::atomic<bool> stop_{false};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

}  // namespace tallysim
