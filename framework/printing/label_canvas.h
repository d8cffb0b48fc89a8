// The label layouts draw on a LabelCanvas; this one hands their text and
// font calls to a device context, so the same layout goes to the printer
// or to a recording context.
#pragma once

#include <string>

#include "device_context.h"
#include "output/label_layout.h"

namespace tallyprint {

class DeviceLabelCanvas : public LabelCanvas {
  public:
    explicit DeviceLabelCanvas(DeviceContext& dc) : dc_(dc) {}

    void DrawText(int x, int y, const std::string& text) override { dc_.DrawText(x, y, text); }
    void UseLargeFont() override { dc_.UseLargeFont(); }

  private:
    DeviceContext& dc_;
};

}  // namespace tallyprint
