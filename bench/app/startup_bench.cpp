// Start-up time and memory of the program, measured on whole processes.
//
//   app_startup_bench [RUNS]
//
// Each run starts this program again as a child that runs the real
// application (CMytallydeskApp) under the offscreen platform with a fresh
// program folder; the child notes the moment its main window is first
// painted and then ends the window as EXIT does (close sequence included).
// The parent reports the time from fork to that first paint and the
// child's peak resident memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/tallydesk_app.h"
#include "framework/seams.h"

namespace {

long long NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

class FolderFromEnvironment : public ProgramLocation {
  public:
    std::string Folder() override { return std::getenv("TALLY_BENCH_FOLDER"); }
    std::string BaseName() override { return "tallydesk"; }
};

class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->objectName() == "dlg102") {
            seen_ = true;
            std::printf("painted %lld\n", NowNs());
            std::fflush(stdout);
            QTimer::singleShot(
                0, [] { static_cast<CDialog*>(AfxGetApp()->m_pMainWnd)->SendCommand(IDCANCEL); });
        }
        return false;
    }

  private:
    bool seen_ = false;
};

class BenchApp : public CMytallydeskApp {
  public:
    BOOL InitInstance() override {
        qApp->installEventFilter(&filter_);
        return CMytallydeskApp::InitInstance();
    }

  private:
    FirstPaint filter_;
};

int Child(int argc, char** argv) {
    FolderFromEnvironment folder;
    ScopedSeam<ProgramLocation> where(&folder);
    BenchApp app;
    return app.Run(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return Child(1, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::vector<double> ms;
    long maxRssKb = 0;
    for (int i = 0; i < runs; ++i) {
        char folder[] = "/tmp/tallybench.XXXXXX";
        if (!mkdtemp(folder)) return 1;
        const std::string programFolder = std::string(folder) + "/";
        int out[2];
        if (pipe(out) != 0) return 1;
        const long long start = NowNs();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("TALLY_BENCH_FOLDER", programFolder.c_str(), 1);
            execl("/proc/self/exe", argv[0], "--child", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string text;
        char buf[256];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
        close(out[0]);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const auto at = text.find("painted ");
        if (at == std::string::npos || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "run %d: no painted window (status %d)\n", i, status);
            return 1;
        }
        ms.push_back((std::stoll(text.substr(at + 8)) - start) / 1e6);
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
        std::string cleanup = "rm -rf '" + std::string(folder) + "'";
        if (std::system(cleanup.c_str()) != 0) return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "runs %d: first painted window after min %.1f ms, median %.1f ms, max %.1f ms;"
        " peak resident memory %.1f MB\n",
        runs, ms.front(), ms[ms.size() / 2], ms.back(), maxRssKb / 1024.0);
    return 0;
}
