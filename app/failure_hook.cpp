// The device library's failure report, shown by the program: the library has
// no toolkit of its own and calls this hook (exported from the program with
// -rdynamic) from whichever thread met the failure, usually its monitor
// thread. The box is shown on the window's thread, without an owner window,
// and the calling thread waits until it is dismissed.
#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <string>

#include "framework/seams.h"
#include "link/tallylink.h"

extern "C" void tallylink_show_failure(const char* text, const char* caption) {
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "";
    auto show = [message, title] {
        Seam<MessageBoxService>::Get().Show(nullptr, message, title, MB_OK | MB_ICONHAND);
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        show();
        return;
    }
    QMetaObject::invokeMethod(app, show, Qt::BlockingQueuedConnection);
}
