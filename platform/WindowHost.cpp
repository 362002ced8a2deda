#include "WindowHost.h"

#include "Services.h"

namespace tarv {

bool canShowWindows() {
    WindowHost* host = Services::current().windows;
    return host && host->canShowWindows();
}

QObject* ownerWindow(qint64 handle) {
    if (!canShowWindows())
        return nullptr;
    WindowHost* host = Services::current().windows;
    if (QObject* w = host->findWindow(handle))
        return w;
    return host->activeWindow();
}

QString noWindowDescription() {
    return QStringLiteral("Impossibile mostrare una finestra: il programma che usa la libreria "
                          "non ha un'interfaccia grafica su questo thread");
}

} // namespace tarv
