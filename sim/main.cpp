// tallysim: plays the NRV7350K card counting machine on a pseudo-terminal.
//
// Records come from standard input (one quantity a line), from --auto, or
// from a --script file. Every command the machine takes is logged on
// standard output, one line each.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "machine.h"
#include "pty_machine.h"

namespace {

std::mutex g_outputLock;

void Say(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outputLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char kUsage[] =
    "usage: tallysim [options]\n"
    "Plays the NRV7350K card counter on a pseudo-terminal and registers it in the\n"
    "port directory. Type a quantity and Enter to store a count record.\n"
    "\n"
    "  --com N            port number in the friendly name (default 7)\n"
    "  --name TEXT        friendly name instead of \"NRV7350K Card Counter (COM<N>)\"\n"
    "  --port-dir DIR     port directory (default: $TALLYLINK_PORT_DIR, else\n"
    "                     $XDG_RUNTIME_DIR/tallylink/ports, else /tmp/tallylink-<uid>/ports)\n"
    "  --auto MS          store a random record (1..200 cards) every MS milliseconds\n"
    "  --seed S           seed of the random quantities (default 1)\n"
    "  --records N        start with N random records stored\n"
    "  --script FILE      store records from FILE: a quantity per line, \"wait MS\"\n"
    "                     lines pause, \"#\" starts a comment\n"
    "  --pace             send reply bytes at the pace of a 115200-baud line\n"
    "faults:\n"
    "  --silent           never answer\n"
    "  --split            send each reply in two bursts 250 ms apart\n"
    "  --junk             send junk bytes before each reply\n"
    "  --bad-close        end each reply with a wrong closing byte\n"
    "  --short-pages [K]  record pages of K values instead of 55 (default 50)\n"
    "  --vanish-after N   close the port after the N-th record page reply\n"
    "  --return-after MS  after vanishing, come back after MS milliseconds\n";

bool ParseInt(const char* text, long low, long high, long* value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

// A quantity line: digits with optional blanks around; false for anything else.
bool ParseQuantity(const std::string& line, unsigned* quantity) {
    std::istringstream in(line);
    std::string word, extra;
    if (!(in >> word) || (in >> extra)) return false;
    long v;
    if (!ParseInt(word.c_str(), 0, 65535, &v)) return false;
    *quantity = static_cast<unsigned>(v);
    return true;
}

void Store(tallysim::Machine& machine, unsigned quantity) {
    if (machine.AddRecord(quantity)) {
        Say("RECORD " + std::to_string(quantity) +
            " stored=" + std::to_string(machine.RecordCount()));
    } else {
        Say("FULL: the machine holds " + std::to_string(tallysim::Machine::kMaxRecords) +
            " records");
    }
}

void RunScript(tallysim::Machine& machine, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) continue;
        long ms;
        std::string arg, extra;
        unsigned quantity;
        if (first == "wait" && (words >> arg) && !(words >> extra) &&
            ParseInt(arg.c_str(), 0, 86400000, &ms)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (ParseQuantity(line, &quantity)) {
            Store(machine, quantity);
        } else {
            Say("SCRIPT " + path + ":" + std::to_string(number) + ": not a quantity, line skipped");
        }
    }
}

void ReadStandardInput(tallysim::Machine& machine) {
    std::string line;
    while (std::getline(std::cin, line)) {
        unsigned quantity;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (ParseQuantity(line, &quantity)) {
            Store(machine, quantity);
        } else {
            Say("? type a quantity from 0 to 65535");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    tallysim::Faults faults;
    tallysim::PtyOptions options;
    std::string script;
    long preload = 0;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long v = 0;
        auto number = [&](long low, long high) {
            if (!ParseInt(next, low, high, &v)) {
                std::fprintf(stderr, "tallysim: %s needs a number from %ld to %ld\n", arg.c_str(),
                             low, high);
                std::exit(2);
            }
            ++i;
            return v;
        };
        auto text = [&]() {
            if (next == nullptr) {
                std::fprintf(stderr, "tallysim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            ++i;
            return std::string(next);
        };
        if (arg == "--com") {
            options.com = static_cast<int>(number(1, 99));
        } else if (arg == "--name") {
            options.friendlyName = text();
        } else if (arg == "--port-dir") {
            options.portDir = text();
        } else if (arg == "--auto") {
            options.autoMs = static_cast<int>(number(1, 86400000));
        } else if (arg == "--seed") {
            options.seed = static_cast<uint32_t>(number(0, 4294967295L));
        } else if (arg == "--records") {
            preload = number(0, 65535);
        } else if (arg == "--script") {
            script = text();
        } else if (arg == "--pace") {
            options.pace = true;
        } else if (arg == "--silent") {
            faults.silent = true;
        } else if (arg == "--split") {
            faults.split = true;
        } else if (arg == "--junk") {
            faults.junk = true;
        } else if (arg == "--bad-close") {
            faults.badClose = true;
        } else if (arg == "--short-pages") {
            faults.pageSize = 50;
            if (next != nullptr && ParseInt(next, 1, 54, &v)) {
                faults.pageSize = static_cast<unsigned>(v);
                ++i;
            }
        } else if (arg == "--vanish-after") {
            faults.vanishAfterPages = static_cast<int>(number(0, 1000000));
        } else if (arg == "--return-after") {
            options.returnAfterMs = static_cast<int>(number(1, 86400000));
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "tallysim: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (!script.empty() && access(script.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "tallysim: cannot read %s: %s\n", script.c_str(),
                     std::strerror(errno));
        return 1;
    }

    // Signals are taken by the main thread alone, so the port entry is
    // removed however the simulator is asked to end.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    tallysim::Machine machine(faults);
    {
        std::mt19937 random(options.seed);
        std::uniform_int_distribution<unsigned> quantity(1, 200);
        for (long n = 0; n < preload; ++n) machine.AddRecord(quantity(random));
    }
    machine.SetLog(Say);

    tallysim::PtyMachine port(machine, options);
    std::string error;
    if (!port.Start(&error)) {
        std::fprintf(stderr, "tallysim: %s\n", error.c_str());
        return 1;
    }
    Say("device: " + port.DevicePath());
    Say("name: " + port.FriendlyName());
    Say("link: " + port.LinkPath());
    if (preload > 0) Say("RECORDS stored=" + std::to_string(machine.RecordCount()));

    std::thread(ReadStandardInput, std::ref(machine)).detach();
    if (!script.empty()) std::thread(RunScript, std::ref(machine), script).detach();

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    port.Stop();
    Say("STOPPED");
    // The input thread may still wait for a line; end without joining it.
    std::_Exit(0);
}
