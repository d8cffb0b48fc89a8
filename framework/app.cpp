#include "framework/app.h"

#include <QApplication>
#include <QImage>
#include <map>
#include <memory>

#include "framework/seams.h"

namespace {

CWinApp* g_app = nullptr;

std::map<UINT, std::string>& Strings() {
    static std::map<UINT, std::string> strings;
    return strings;
}

std::map<UINT, QIcon (*)()>& Icons() {
    static std::map<UINT, QIcon (*)()> icons;
    return icons;
}

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::Run(int argc, char** argv) {
    std::unique_ptr<QApplication> own;
    if (!QApplication::instance()) own = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!InitInstance()) return 0;
    return QApplication::exec();
}

HICON CWinApp::LoadIcon(UINT id) const { return AfxLoadIcon(id); }

CWinApp* AfxGetApp() { return g_app; }

std::string AfxGetAppName() { return GetProgramBaseName(); }

int AfxMessageBox(const std::string& text, UINT type) {
    QWidget* owner = QApplication::activeWindow();
    if (!owner && g_app && g_app->m_pMainWnd) owner = g_app->m_pMainWnd->Widget();
    return Seam<MessageBoxService>::Get().Show(owner, text, AfxGetAppName(), type);
}

void AfxEnableControlContainer() {}

void AfxRegisterString(UINT id, const std::string& text) { Strings()[id] = text; }

std::string AfxLoadString(UINT id) {
    const auto it = Strings().find(id);
    return it == Strings().end() ? std::string() : it->second;
}

void AfxRegisterIcon(UINT id, QIcon (*make)()) { Icons()[id] = make; }

HICON AfxLoadIcon(UINT id) {
    const auto it = Icons().find(id);
    return it == Icons().end() || !it->second ? QIcon() : it->second();
}

HBITMAP AfxLoadBitmapFile(const std::string& path, int cx, int cy) {
    QImage image;
    if (path.empty() || !image.load(QString::fromStdString(path))) return HBITMAP();
    if (cx > 0 && cy > 0)
        image = image.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return QPixmap::fromImage(image);
}
