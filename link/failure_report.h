// The failure report of the serial engine: one place that turns a failed
// port step and its errno into the text operators and support know, and one
// place that decides where that text is shown.
#pragma once

#include <string>

namespace tallylink {

// Caption of the message box that shows a report.
extern const char kFailureCaption[];

// "WARNING:  <step> Failed with the following error: \n<system text>\nPort: <n>\n"
// with the system text of errnum (strerror). Built at whatever length the
// system text needs.
std::string FormatFailureReport(const char* step, int errnum, int portNumber);

// Shows a report: through the test sink when one is installed, else through
// the host program's tallylink_show_failure when it exports one, else on
// standard error. Blocks for as long as the sink does.
void ShowFailureReport(const std::string& text);

// FormatFailureReport + ShowFailureReport.
void ReportFailure(const char* step, int errnum, int portNumber);

// Test seam: a sink that receives every report instead of the host hook and
// standard error; null restores the normal route. The sink may be called
// from any thread, including the serial engine's monitor thread.
using FailureSink = void (*)(const char* text, const char* caption);
void SetFailureSinkForTesting(FailureSink sink);

}  // namespace tallylink
