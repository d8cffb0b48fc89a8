// Times GetDov_Oz_Er_Record fetching N records (default 20000) from
// `tallysim --pace` over a pseudo-terminal, and sets the time against the
// floor the line sets: every byte at 115200 baud (10 bit times a byte) plus
// the 20 ms of silence that ends each received reply chunk.
//
//   sim_fetch_bench [records] [runs]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tallylink.h"

namespace {

constexpr double kByteSeconds = 10.0 / 115200.0;
constexpr double kGapSeconds = 0.020;
constexpr unsigned kPageValues = 55;

struct Sim {
    pid_t pid = -1;
    int output = -1;
};

Sim StartSim(const std::string& portDir, unsigned records) {
    int out[2];
    if (pipe(out) != 0) return {};
    Sim sim;
    sim.pid = fork();
    if (sim.pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        std::string count = std::to_string(records);
        execl(TALLYSIM_PATH, TALLYSIM_PATH, "--pace", "--records", count.c_str(), "--seed", "1",
              "--port-dir", portDir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    sim.output = out[0];
    // Ready once it printed where its port entry is.
    std::string text;
    while (text.find("link: ") == std::string::npos) {
        pollfd p = {sim.output, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) break;
        char buffer[512];
        ssize_t n = read(sim.output, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return sim;
}

void StopSim(Sim& sim) {
    if (sim.pid > 0) {
        kill(sim.pid, SIGTERM);
        waitpid(sim.pid, nullptr, 0);
    }
    if (sim.output >= 0) close(sim.output);
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned records = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (records > 20000 || runs < 1) {
        std::fprintf(stderr, "usage: sim_fetch_bench [records <= 20000] [runs]\n");
        return 2;
    }

    char pattern[] = "/tmp/tallybench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string root = pattern;
    const std::string portDir = root + "/ports";
    mkdir(portDir.c_str(), 0700);
    mkdir((root + "/sys").c_str(), 0700);
    setenv("TALLYLINK_PORT_DIR", portDir.c_str(), 1);
    setenv("TALLYLINK_SYSFS_ROOT", (root + "/sys").c_str(), 1);

    const unsigned pages = (records + kPageValues - 1) / kPageValues;
    const unsigned exchanges = 1 + pages;
    unsigned replyBytes = 15;  // state frame
    for (unsigned p = 0; p < pages; ++p) {
        unsigned values =
            (p + 1 < pages || records % kPageValues == 0) ? kPageValues : records % kPageValues;
        replyBytes += 4 + 4 + 2 * values + 1;
    }
    const unsigned commandBytes = 4 * exchanges;
    const double replyFloor = replyBytes * kByteSeconds + exchanges * kGapSeconds;
    const double floor = (replyBytes + commandBytes) * kByteSeconds + exchanges * kGapSeconds;

    std::printf("records %u, exchanges %u, reply bytes %u, command bytes %u\n", records, exchanges,
                replyBytes, commandBytes);
    std::printf(
        "floor: %.3f s (replies and commands at 115200 baud + %u x 20 ms); "
        "replies only: %.3f s\n",
        floor, exchanges, replyFloor);

    std::vector<int> values(20000);
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        Sim sim = StartSim(portDir, records);
        if (ConnectDov_Oz_Er() != 1) {
            std::fprintf(stderr, "run %d: no connection\n", run);
            StopSim(sim);
            ++failures;
            continue;
        }
        unsigned count = 0;
        auto start = std::chrono::steady_clock::now();
        int ok = GetDov_Oz_Er_Record(&count, values.data());
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        DisConnectDov_Oz_Er();
        StopSim(sim);
        if (ok != 1 || count != records) {
            std::fprintf(stderr, "run %d: fetch failed (result %d, count %u)\n", run, ok, count);
            ++failures;
            continue;
        }
        std::printf(
            "run %d: %.3f s, %.3f x floor, %.3f x replies-only floor, "
            "%+.3f ms per exchange against the floor\n",
            run, seconds, seconds / floor, seconds / replyFloor,
            (seconds - floor) * 1000.0 / exchanges);
    }
    rmdir(portDir.c_str());
    rmdir((root + "/sys").c_str());
    rmdir(root.c_str());
    return failures == 0 ? 0 : 1;
}
