#include "WidgetServices.h"

#include "QtWindowHost.h"
#include "Services.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarv {

void installWidgetServices(QApplication& app) {
    static QTranslator translator;
    if (translator.isEmpty() && translator.load(QStringLiteral("qtbase_it"),
                                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
    static QtWindowHost windows;
    Services& s = Services::current();
    s.windows = &windows;
    // Boxes and dialogs go through the window host, which knows whether anyone sees them
    // (not on the offscreen and minimal platforms) and whether the caller is on its thread.
    s.messageBoxes = nullptr;
    s.fileDialogs = nullptr;
    Services::current();
}

} // namespace tarv
