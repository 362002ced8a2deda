#include "LibraryWindows.h"

namespace tarv::utility {

namespace {
LibraryWindows* g_windows = nullptr;
}

LibraryWindows* libraryWindows() {
    return g_windows;
}

void setLibraryWindows(LibraryWindows* windows) {
    g_windows = windows;
}

QString noWindowsDescription() {
    return QStringLiteral("Questa funzione apre una finestra: il programma che la chiama deve "
                          "avere un'applicazione grafica (QApplication) e chiamarla dal suo "
                          "thread principale");
}

} // namespace tarv::utility
