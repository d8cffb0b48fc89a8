// A device context that prints nothing and writes down every call, for
// tests of the print handlers: they compare the calls with the job they
// expect, and can make the job fail to start.
//
//   tallyprint::RecordingDC dc;
//   ... handler prints on dc ...
//   EXPECT_EQ(dc.calls.front(), "StartDoc printer");
#pragma once

#include <string>
#include <vector>

#include "device_context.h"

namespace tallyprint {

class RecordingDC : public DeviceContext {
  public:
    // One entry a call: "StartDoc <name>", "StartPage", "EndPage", "EndDoc",
    // "SaveState", "RestoreState", "UseLargeFont", "DrawText <x> <y> <text>".
    std::vector<std::string> calls;
    // Makes StartDoc fail, as a job the spooler refuses.
    bool failStartDoc = false;

    bool StartDoc(const std::string& name) override {
        calls.push_back("StartDoc " + name);
        return !failStartDoc;
    }
    bool StartPage() override { return Record("StartPage"); }
    bool EndPage() override { return Record("EndPage"); }
    bool EndDoc() override { return Record("EndDoc"); }
    void SaveState() override { Record("SaveState"); }
    void RestoreState() override { Record("RestoreState"); }
    void UseLargeFont() override { Record("UseLargeFont"); }
    void DrawText(int x, int y, const std::string& utf8) override {
        calls.push_back("DrawText " + std::to_string(x) + " " + std::to_string(y) + " " + utf8);
    }

  private:
    bool Record(const char* call) {
        calls.emplace_back(call);
        return true;
    }
};

}  // namespace tallyprint
