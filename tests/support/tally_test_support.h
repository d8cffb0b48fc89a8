// Shared fixtures of the device link and simulator tests: temporary
// folders, environment overrides, captured failure reports, a raw
// pseudo-terminal pair, and the simulated machine on a pty registered in a
// port directory of the test's own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "machine.h"
#include "pty_machine.h"

namespace tallytest {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Creates folders (with parents) and returns the full path.
    std::string MakeDir(const std::string& relative) const;
    std::string WriteFile(const std::string& relative, const std::string& content) const;
    std::string Symlink(const std::string& relative, const std::string& target) const;

  private:
    std::string path_;
};

// Sets (or, with nullptr, unsets) an environment variable for the lifetime
// of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// Takes the library's failure reports while it lives (one at a time).
class FailureCapture {
  public:
    FailureCapture();
    ~FailureCapture();
    FailureCapture(const FailureCapture&) = delete;
    FailureCapture& operator=(const FailureCapture&) = delete;

    std::vector<std::string> Reports() const;
    std::vector<std::string> Captions() const;
    // Waits until at least count reports came; true when they did.
    bool WaitFor(size_t count, std::chrono::milliseconds timeout) const;
    // Makes the sink block until Release(): a host whose message box the
    // operator has not dismissed yet.
    void Hold();
    void Release();

  private:
    static void Sink(const char* text, const char* caption);
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<std::string> reports_;
    std::vector<std::string> captions_;
    bool hold_ = false;
};

// A pseudo-terminal pair for talking to the serial engine directly: the
// test plays the far end on the master.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    void Write(const std::vector<uint8_t>& bytes) const;
    // Reads what arrives until count bytes came or timeout passed.
    std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds timeout) const;
    // Everything the far end received so far, waiting up to quiet for more.
    std::vector<uint8_t> ReadAvailable(std::chrono::milliseconds quiet) const;
    void CloseMaster();

  private:
    int master_ = -1;
    std::string slavePath_;
};

// The machine simulator on a pty, registered in a port directory of the
// test's own; TALLYLINK_PORT_DIR points at it and TALLYLINK_SYSFS_ROOT at an
// empty tree, so the host's real serial ports stay out of the way.
class SimulatedMachine {
  public:
    explicit SimulatedMachine(tallysim::Faults faults = tallysim::Faults(), int com = 7,
                              const std::string& friendlyName = "", bool pace = false);
    // Another machine in the same port directory.
    SimulatedMachine(SimulatedMachine& first, const std::string& friendlyName,
                     tallysim::Faults faults = tallysim::Faults());
    ~SimulatedMachine();

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    tallysim::Machine& machine() { return machine_; }
    tallysim::PtyMachine& port() { return *port_; }
    const std::string& portDir() const { return portDir_; }

    // Stores records with quantities first, first + 1, ... (wrapping at 65536).
    void AddRecords(unsigned count, unsigned first = 1);
    // Waits until the machine took at least count clear commands.
    bool WaitForClears(unsigned count, std::chrono::milliseconds timeout);

  private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedEnv> portEnv_;
    std::unique_ptr<ScopedEnv> sysfsEnv_;
    std::string portDir_;
    tallysim::Machine machine_;
    std::unique_ptr<tallysim::PtyMachine> port_;
    bool started_ = false;
    std::string error_;
};

// Path of the built tallysim program (set by CMake), for tests that run it
// as a child process.
std::string TallysimPath();

}  // namespace tallytest
