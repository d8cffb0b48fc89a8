// A printer device context over QPrinter: the drawing surface of one print
// job, in the printer's own dots.
//
// The printer runs at its own resolution, so one unit is one printer dot
// and a font height of 100 is 100 dots. Positions count from the top left
// of the printable area; text is placed by the top-left corner of its
// character cell, not by its base line.
#pragma once

#include <memory>
#include <string>

#include "device_context.h"

class QFont;
class QPainter;
class QPrinter;

namespace tallyprint {

class PrinterDC : public DeviceContext {
  public:
    // A device context on the CUPS queue `device`, printed through the
    // scheduler. `driver` and `port` are the other fields of the default
    // printer entry; every queue prints through the same spooler, so they
    // name nothing to choose from and are not checked. Null when no queue
    // of that name exists, as creating a device context for an unknown
    // printer fails.
    static std::unique_ptr<PrinterDC> Create(const std::string& driver, const std::string& device,
                                             const std::string& port);

    // A device context drawing on a printer the caller has set up, for
    // example a PDF file at a chosen resolution. Takes ownership.
    explicit PrinterDC(std::unique_ptr<QPrinter> printer);
    ~PrinterDC() override;
    PrinterDC(const PrinterDC&) = delete;
    PrinterDC& operator=(const PrinterDC&) = delete;

    // Dots per inch of the printer, the unit of every position and height.
    int Resolution() const;

    // Starts the print job; `name` becomes the job's document name. False
    // when the job cannot be started (the caller then prints nothing): the
    // queue rejects jobs, or a job is already open.
    bool StartDoc(const std::string& name) override;
    // Starts a page: the first page of a job is already open, every later
    // one follows an EndPage. False outside a job or inside an open page.
    bool StartPage() override;
    // Ends the open page. False outside a page.
    bool EndPage() override;
    // Ends the job and hands it to the spooler; returns when the spooler has
    // it. An open page is ended first. False when no job was started.
    bool EndDoc() override;

    // Pushes and pops the drawing state (the selected font), so a font
    // selected after SaveState is deselected by RestoreState.
    void SaveState() override;
    void RestoreState() override;

    // Selects the default font: the system's general font at its own point
    // size, scaled to the printer's resolution.
    void UseDefaultFont();
    // Selects the large font: the face of the system's default GUI font,
    // weight 700 (bold), its character cell (ascent + descent) 100 dots
    // high.
    void UseLargeFont() override;

    // Draws UTF-8 text with the top-left corner of its first character cell
    // at (x, y) dots. Bytes that are not UTF-8 print as U+FFFD. Outside a
    // page nothing is drawn.
    void DrawText(int x, int y, const std::string& utf8) override;

    // The large font. Qt sizes a font by its em, Windows-style heights
    // count the whole cell; the pixel size is chosen so that the cell, not
    // the em, is 100 dots high.
    static QFont LargeFont();

  private:
    bool painting() const;

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    bool page_open_ = false;
    bool page_ended_before_ = false;
    int saved_states_ = 0;
};

}  // namespace tallyprint
