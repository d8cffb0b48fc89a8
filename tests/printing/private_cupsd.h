// A CUPS scheduler of the test's own: cupsd started in the foreground from
// a configuration in a temporary folder, listening only on a Unix socket
// there, with its spool, state, cache and logs beside it, and stopped (with
// every process it started) when the object goes away.
//
// The test process talks to it through CUPS_SERVER, set to the socket. The
// client library remembers the server of its first request for the life of
// the process, so every scheduler a process starts listens on the same
// socket path; only the folders behind it are new.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QProcess;

namespace tallyprint_test {

// Points this process's CUPS client at the private scheduler's socket (and
// away from the system's client.conf, lpoptions and LPDEST/PRINTER).
// Called before Qt's print support first asks CUPS anything, since the
// client library keeps the first server it used.
void UsePrivateCupsServer();

class PrivateCupsd {
  public:
    PrivateCupsd();
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Starts the scheduler and waits until it answers. False with the
    // reason in `why` when it cannot run here (not installed, refused to
    // start, no answer).
    bool Start(std::string* why);
    // Stops it (SIGTERM, then SIGKILL after a grace period).
    void Stop();

    // Adds an enabled queue `name` printing to /dev/null through the
    // cups-pdf driver description (300 dpi, A4), and makes it the
    // scheduler's default when `makeDefault`.
    bool AddQueue(const std::string& name, bool makeDefault, std::string* why);

    // Waits until no job is pending or printing; false on timeout.
    bool WaitUntilJobsDone(int timeoutMs, std::string* why);

    // The spool folder (RequestRoot) and the document files in it, as the
    // scheduler received them (d<job>-<n>), in name order.
    std::string SpoolDir() const;
    std::vector<std::string> SpooledDocuments() const;
    // The job's control file (c<job>) for a document file.
    std::string ControlFileOf(const std::string& documentPath) const;

    // The last lines of the scheduler's error log, for failure messages.
    std::string LogTail() const;

    // Runs a CUPS tool (lpadmin, lpoptions, lpstat ...) against this
    // scheduler; its output, standard error included, in `output`. True
    // when it ran and exited 0.
    bool RunTool(const std::string& tool, const std::vector<std::string>& args,
                 std::string* output) const;

  private:
    std::string root_;  // this scheduler's folder
    std::unique_ptr<QProcess> cupsd_;
};

}  // namespace tallyprint_test
