#include "WidgetServices.h"

#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
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
    static QtMessageBoxes boxes;
    static QtFileDialogs dialogs;
    static QtWindowHost windows;
    Services& s = Services::current();
    s.messageBoxes = &boxes;
    s.fileDialogs = &dialogs;
    s.windows = &windows;
}

} // namespace tarv
