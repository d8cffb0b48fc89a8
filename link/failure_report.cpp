#include "failure_report.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "tallylink.h"

// The host's hook is optional: a weak reference stays null unless the
// program that loaded us exports the symbol.
extern "C" void tallylink_show_failure(const char* text, const char* caption) __attribute__((weak));

namespace tallylink {

const char kFailureCaption[] = "Application Error";

namespace {

std::atomic<FailureSink> g_testSink{nullptr};

// strerror_r comes in two flavours; these overloads accept either result.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) { return result; }

}  // namespace

std::string FormatFailureReport(const char* step, int errnum, int portNumber) {
    char buffer[256] = {};
    const char* systemText = ErrorText(strerror_r(errnum, buffer, sizeof buffer), buffer);
    std::string text = "WARNING:  ";
    text += step;
    text += " Failed with the following error: \n";
    text += systemText;
    text += "\nPort: ";
    text += std::to_string(portNumber);
    text += "\n";
    return text;
}

void ShowFailureReport(const std::string& text) {
    if (FailureSink sink = g_testSink.load()) {
        sink(text.c_str(), kFailureCaption);
    } else if (tallylink_show_failure != nullptr) {
        tallylink_show_failure(text.c_str(), kFailureCaption);
    } else {
        std::fprintf(stderr, "%s: %s", kFailureCaption, text.c_str());
        std::fflush(stderr);
    }
}

void ReportFailure(const char* step, int errnum, int portNumber) {
    ShowFailureReport(FormatFailureReport(step, errnum, portNumber));
}

void SetFailureSinkForTesting(FailureSink sink) { g_testSink.store(sink); }

}  // namespace tallylink
