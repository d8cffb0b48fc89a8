#include "private_cupsd.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <utility>

namespace tallyprint_test {
namespace {

constexpr char kPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// The folder every scheduler of this process lives under; removed at exit.
struct ProcessFolder {
    std::string path;
    ~ProcessFolder() {
        if (!path.empty()) {
            QDir(QString::fromStdString(path)).removeRecursively();
        }
    }
};

ProcessFolder& Folder() {
    static ProcessFolder folder;
    return folder;
}

std::string SocketPath() { return Folder().path + "/cups.sock"; }

QString FindTool(const std::string& name) {
    // Administration tools live in sbin, which a user's PATH may lack.
    QString found = QStandardPaths::findExecutable(QString::fromStdString(name),
                                                   {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    if (found.isEmpty()) {
        found = QStandardPaths::findExecutable(QString::fromStdString(name));
    }
    return found;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

std::string LastLines(const std::string& text, int count) {
    std::size_t start = text.size();
    // Step back over `count` line ends (the final one not counted).
    while (start > 0 && count >= 0) {
        const std::size_t newline = text.rfind('\n', start - 1);
        if (newline == std::string::npos) {
            return text;
        }
        start = newline;
        if (newline + 1 < text.size()) {
            --count;
        }
    }
    return start < text.size() ? text.substr(start + 1) : text;
}

}  // namespace

void UsePrivateCupsServer() {
    if (!Folder().path.empty()) {
        return;
    }
    // A Unix socket path must stay short (108 bytes), so the folder sits in
    // /tmp rather than under a possibly deep TMPDIR.
    char pattern[] = "/tmp/tallyprint-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    // The scheduler runs filters as its unprivileged user, who must reach
    // the spool inside.
    chmod(pattern, 0755);
    Folder().path = pattern;
    const std::string client = Folder().path + "/client";
    const std::string home = Folder().path + "/home";
    mkdir(client.c_str(), 0755);
    mkdir(home.c_str(), 0755);
    // Everything that could name another scheduler or another default
    // printer points here instead: the system's client.conf and lpoptions
    // (CUPS_SERVERROOT), the user's ~/.cups (HOME), the destination
    // variables.
    setenv("CUPS_SERVER", SocketPath().c_str(), 1);
    setenv("CUPS_SERVERROOT", client.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    unsetenv("LPDEST");
    unsetenv("PRINTER");
}

PrivateCupsd::PrivateCupsd() = default;

PrivateCupsd::~PrivateCupsd() { Stop(); }

bool PrivateCupsd::Start(std::string* why) {
    UsePrivateCupsServer();
    const QString cupsd = FindTool("cupsd");
    if (cupsd.isEmpty()) {
        *why = "cupsd is not installed (package cups)";
        return false;
    }
    static int instance = 0;
    root_ = Folder().path + "/run" + std::to_string(++instance);
    for (const char* sub : {"", "/spool", "/spool/temp", "/cache", "/state", "/log"}) {
        const std::string dir = root_ + sub;
        if (mkdir(dir.c_str(), 0755) != 0) {
            *why = "cannot create " + dir;
            return false;
        }
    }

    std::string files;
    const std::pair<const char*, std::string> fileSettings[] = {
        {"ServerRoot", root_},
        {"RequestRoot", root_ + "/spool"},
        {"TempDir", root_ + "/spool/temp"},
        {"StateDir", root_ + "/state"},
        {"CacheDir", root_ + "/cache"},
        {"AccessLog", root_ + "/log/access_log"},
        {"ErrorLog", root_ + "/log/error_log"},
        {"PageLog", root_ + "/log/page_log"},
        {"Printcap", root_ + "/printcap"},
        {"FileDevice", "Yes"},
    };
    for (const auto& [key, value] : fileSettings) {
        files += std::string(key) + " " + value + "\n";
    }
    if (geteuid() != 0) {
        // Without root the scheduler can only run its filters as the
        // calling user, and only that user's group can administer it.
        const passwd* user = getpwuid(geteuid());
        const group* grp = getgrgid(getegid());
        if (user != nullptr && grp != nullptr) {
            files += std::string("User ") + user->pw_name + "\nGroup " + grp->gr_name +
                     "\nSystemGroup " + grp->gr_name + "\n";
        }
    }
    // Only the Unix socket is listened on, so schedulers of tests running
    // side by side never meet. Jobs keep their files after printing so the
    // test reads the document exactly as it was spooled, and control files
    // are written at once (DirtyCleanInterval 0) rather than half a minute
    // later. A failing filter aborts its job instead of stopping the queue,
    // so a job always comes to an end.
    const std::string conf = "Listen " + SocketPath() + "\n" +
                             R"(Browsing No
WebInterface No
LogLevel info
PreserveJobFiles Yes
PreserveJobHistory Yes
ErrorPolicy abort-job
DirtyCleanInterval 0
DefaultAuthType None
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
)";
    if (!WriteFile(root_ + "/cups-files.conf", files) || !WriteFile(root_ + "/cupsd.conf", conf)) {
        *why = "cannot write the scheduler's configuration under " + root_;
        return false;
    }

    cupsd_ = std::make_unique<QProcess>();
    cupsd_->setProcessChannelMode(QProcess::MergedChannels);
    cupsd_->setStandardOutputFile(QString::fromStdString(root_ + "/log/cupsd.out"));
    // Should the test process die without stopping it, the scheduler is
    // told to end as well rather than outlive the test.
    cupsd_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_->start(cupsd, {"-f", "-c", QString::fromStdString(root_ + "/cupsd.conf"), "-s",
                          QString::fromStdString(root_ + "/cups-files.conf")});
    if (!cupsd_->waitForStarted(30000)) {
        *why = "cupsd did not start: " + cupsd_->errorString().toStdString();
        cupsd_.reset();
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (cupsd_->state() != QProcess::Running || cupsd_->waitForFinished(0)) {
            *why = "cupsd ended at start (exit code " + std::to_string(cupsd_->exitCode()) +
                   "):\n" + LogTail();
            cupsd_.reset();
            return false;
        }
        std::string output;
        if (RunTool("lpstat", {"-r"}, &output) &&
            output.find("scheduler is running") != std::string::npos &&
            output.find("not running") == std::string::npos) {
            return true;
        }
        QThread::msleep(100);
    }
    *why = "cupsd did not answer on " + SocketPath() + " within 30 s:\n" + LogTail();
    Stop();
    return false;
}

void PrivateCupsd::Stop() {
    if (!cupsd_) {
        return;
    }
    if (cupsd_->state() != QProcess::NotRunning) {
        cupsd_->terminate();
        if (!cupsd_->waitForFinished(15000)) {
            cupsd_->kill();
            cupsd_->waitForFinished(15000);
        }
    }
    cupsd_.reset();
}

bool PrivateCupsd::RunTool(const std::string& tool, const std::vector<std::string>& args,
                           std::string* output) const {
    const QString path = FindTool(tool);
    if (path.isEmpty()) {
        *output = tool + " is not installed";
        return false;
    }
    QStringList arguments;
    for (const std::string& arg : args) {
        arguments << QString::fromStdString(arg);
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        *output = tool + " did not finish";
        return false;
    }
    *output = process.readAll().toStdString();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PrivateCupsd::AddQueue(const std::string& name, bool makeDefault, std::string* why) {
    if (access(kPpd, R_OK) != 0) {
        *why =
            std::string("no driver description at ") + kPpd + " (package printer-driver-cups-pdf)";
        return false;
    }
    // The queue prints to /dev/null: what matters is the document the
    // scheduler spools, and the cups-pdf back end would write into the
    // user's home folder.
    std::string output;
    if (!RunTool("lpadmin", {"-p", name, "-E", "-v", "file:///dev/null", "-P", kPpd}, &output)) {
        *why = "lpadmin could not add the queue " + name + ": " + output;
        return false;
    }
    if (makeDefault && !RunTool("lpadmin", {"-d", name}, &output)) {
        *why = "lpadmin could not make " + name + " the default: " + output;
        return false;
    }
    return true;
}

bool PrivateCupsd::WaitUntilJobsDone(int timeoutMs, std::string* why) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string output;
    while (std::chrono::steady_clock::now() < deadline) {
        if (RunTool("lpstat", {"-W", "not-completed", "-o"}, &output) && output.empty()) {
            return true;
        }
        QThread::msleep(200);
    }
    *why = "jobs still not done after " + std::to_string(timeoutMs) + " ms: " + output + "\n" +
           LogTail();
    return false;
}

std::string PrivateCupsd::SpoolDir() const { return root_ + "/spool"; }

std::vector<std::string> PrivateCupsd::SpooledDocuments() const {
    std::vector<std::string> paths;
    const QStringList names =
        QDir(QString::fromStdString(SpoolDir())).entryList({"d*-*"}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        paths.push_back(SpoolDir() + "/" + name.toStdString());
    }
    return paths;
}

std::string PrivateCupsd::ControlFileOf(const std::string& documentPath) const {
    // d00001-001 belongs to job 1, whose attributes are in c00001.
    const std::size_t slash = documentPath.rfind('/');
    const std::string name = documentPath.substr(slash + 1);
    const std::size_t dash = name.find('-');
    return SpoolDir() + "/c" + name.substr(1, dash - 1);
}

std::string PrivateCupsd::LogTail() const {
    return LastLines(ReadFile(root_ + "/log/cupsd.out"), 10) +
           LastLines(ReadFile(root_ + "/log/error_log"), 30);
}

}  // namespace tallyprint_test
