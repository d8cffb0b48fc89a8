// What a print handler does with a printer: the calls of one print job on a
// device context. PrinterDC is the real one; tests put a recording one in
// its place.
#pragma once

#include <string>

namespace tallyprint {

class DeviceContext {
  public:
    virtual ~DeviceContext() = default;

    // Starts the print job named `name`. False when it cannot be started.
    virtual bool StartDoc(const std::string& name) = 0;
    // Starts a page of the job. False outside a job or inside an open page.
    virtual bool StartPage() = 0;
    // Ends the open page. False outside a page.
    virtual bool EndPage() = 0;
    // Ends the job and hands it to the spooler. False when none was started.
    virtual bool EndDoc() = 0;

    // Pushes and pops the drawing state: a font selected after SaveState is
    // deselected by the matching RestoreState.
    virtual void SaveState() = 0;
    virtual void RestoreState() = 0;

    // Selects the large font: the default GUI font's face, weight 700, a
    // character cell 100 dots high. Until then the default font is used.
    virtual void UseLargeFont() = 0;

    // Draws UTF-8 text with the top-left corner of its character cell at
    // (x, y), in dots from the top left of the printable area.
    virtual void DrawText(int x, int y, const std::string& utf8) = 0;
};

}  // namespace tallyprint
