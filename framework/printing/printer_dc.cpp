#include "printer_dc.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>
#include <cstdlib>

#include "cups_queue.h"

namespace tallyprint {
namespace {

// Used when the scheduler names no default resolution: the commonest label
// and office printer resolution, or the queue's supported one nearest it.
constexpr int kFallbackResolution = 300;
constexpr int kLowestResolution = 150;

constexpr int kLargeFontCellHeight = 100;  // dots
constexpr int kLargeFontWeight = 700;

double CellHeightOf(const QFont& font) {
    // A font sized in pixels measures the same on every device.
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

int ResolutionFor(const std::string& queue, const QPrinter& printer) {
    const int own = QueueDefaultResolution(queue);
    if (own > 0) {
        return own;
    }
    // Qt answers 72 when it knows nothing of a queue; no printer prints
    // labels that coarsely, and the layout would run far off the page.
    int chosen = 0;
    for (int dpi : printer.supportedResolutions()) {
        if (dpi >= kLowestResolution &&
            (chosen == 0 ||
             std::abs(dpi - kFallbackResolution) < std::abs(chosen - kFallbackResolution))) {
            chosen = dpi;
        }
    }
    return chosen > 0 ? chosen : kFallbackResolution;
}

}  // namespace

std::unique_ptr<PrinterDC> PrinterDC::Create(const std::string& /*driver*/,
                                             const std::string& device,
                                             const std::string& /*port*/) {
    if (device.empty()) {
        return nullptr;
    }
    const QPrinterInfo queue = QPrinterInfo::printerInfo(QString::fromStdString(device));
    if (queue.isNull()) {
        return nullptr;
    }
    auto printer = std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::NativeFormat);
    // Positions count from the edge of what the printer can reach, as a
    // device context's do: margins down to the printer's own minimum (Qt
    // would otherwise add 10 points of its own on every side).
    printer->setFullPage(false);
    QPageLayout layout = printer->pageLayout();
    layout.setMargins(layout.minimumMargins());
    printer->setPageLayout(layout);
    // Qt draws CUPS jobs at a fixed 1200 dpi whatever the printer does; the
    // queue's own resolution makes one painter unit one printer dot.
    printer->setResolution(ResolutionFor(device, *printer));
    return std::make_unique<PrinterDC>(std::move(printer));
}

PrinterDC::PrinterDC(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {}

PrinterDC::~PrinterDC() {
    // Qt's CUPS engine cannot abort a job: one left open is ended here and
    // handed over with whatever was drawn.
    if (painting()) {
        painter_->end();
    }
}

int PrinterDC::Resolution() const { return printer_->resolution(); }

bool PrinterDC::painting() const { return painter_ != nullptr && painter_->isActive(); }

bool PrinterDC::StartDoc(const std::string& name) {
    if (painting()) {
        return false;
    }
    // Qt would draw the whole job and then lose it silently at a queue that
    // rejects jobs; refusing here tells the caller nothing was printed.
    if (printer_->outputFormat() == QPrinter::NativeFormat &&
        !QueueAcceptsJobs(printer_->printerName().toStdString())) {
        return false;
    }
    printer_->setDocName(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        return false;
    }
    page_open_ = false;
    page_ended_before_ = false;
    saved_states_ = 0;
    UseDefaultFont();
    return true;
}

bool PrinterDC::StartPage() {
    if (!painting() || page_open_) {
        return false;
    }
    // QPainter opens the first page itself; later pages need newPage.
    if (page_ended_before_ && !printer_->newPage()) {
        return false;
    }
    page_open_ = true;
    return true;
}

bool PrinterDC::EndPage() {
    if (!painting() || !page_open_) {
        return false;
    }
    page_open_ = false;
    page_ended_before_ = true;
    return true;
}

bool PrinterDC::EndDoc() {
    if (!painting()) {
        return false;
    }
    if (page_open_) {
        EndPage();
    }
    while (saved_states_ > 0) {
        RestoreState();
    }
    // For a CUPS queue, end() submits the finished document to the
    // scheduler and returns once it is spooled.
    const bool ended = painter_->end();
    painter_.reset();
    return ended;
}

void PrinterDC::SaveState() {
    if (!painting()) {
        return;
    }
    painter_->save();
    ++saved_states_;
}

void PrinterDC::RestoreState() {
    // An unmatched restore is ignored rather than unbalancing the painter.
    if (!painting() || saved_states_ == 0) {
        return;
    }
    painter_->restore();
    --saved_states_;
}

void PrinterDC::UseDefaultFont() {
    if (!painting()) {
        return;
    }
    // Sized in points, so QPainter scales it to the printer's resolution.
    painter_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void PrinterDC::UseLargeFont() {
    if (!painting()) {
        return;
    }
    painter_->setFont(LargeFont());
}

QFont PrinterDC::LargeFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setWeight(static_cast<QFont::Weight>(kLargeFontWeight));
    // Start from the ratio of cell to em at a trial size, then step to the
    // largest pixel size whose cell still fits the height.
    font.setPixelSize(kLargeFontCellHeight);
    const double trialCell = CellHeightOf(font);
    int pixels = kLargeFontCellHeight;
    if (trialCell > 0) {
        pixels = static_cast<int>(kLargeFontCellHeight * kLargeFontCellHeight / trialCell);
    }
    if (pixels < 1) {
        pixels = 1;
    }
    font.setPixelSize(pixels);
    while (pixels > 1 && CellHeightOf(font) > kLargeFontCellHeight) {
        font.setPixelSize(--pixels);
    }
    for (;;) {
        QFont larger = font;
        larger.setPixelSize(pixels + 1);
        if (CellHeightOf(larger) > kLargeFontCellHeight) {
            break;
        }
        font = larger;
        ++pixels;
    }
    return font;
}

void PrinterDC::DrawText(int x, int y, const std::string& utf8) {
    if (!painting() || !page_open_) {
        return;
    }
    const QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
    // QPainter places text on its base line; the cell's top lies one ascent
    // above it.
    const QFontMetricsF metrics(painter_->font(), printer_.get());
    painter_->drawText(QPointF(x, y + metrics.ascent()), text);
}

}  // namespace tallyprint
