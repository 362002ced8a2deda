// The library's windows behind LibraryWindows: shown only in a graphical host, from its GUI
// thread, one window of each kind at a time on a thread.
#include "LibraryWindows.h"
#include "Module.h"
#include "UtilityWidgets.h"
#include "WheelHook.h"
#include "ZipWindow.h"
#include "frmConnessioni.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QThread>

namespace tarv::utility {

namespace {

struct OpenWindows {
    QPointer<QDialog> zip[2];
    QPointer<QDialog> connessioni;
};

QString guiProblem() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return noWindowsDescription();
    if (QThread::currentThread() != app->thread())
        return QStringLiteral("Le finestre della libreria si aprono solo dal thread "
                              "dell'interfaccia grafica del programma");
    return QString();
}

QString alreadyOpen(const QDialog* w) {
    return QStringLiteral("La finestra \"%1\" è già aperta").arg(w->windowTitle());
}

class QtLibraryWindows final : public LibraryWindows {
public:
    QString showZip(const ZipRequest& r) override {
        if (QString p = guiProblem(); !p.isEmpty())
            return p;
        QPointer<QDialog>& slot = com::moduleState<OpenWindows>().zip[r.expand ? 1 : 0];
        if (slot)
            return alreadyOpen(slot);
        ZipWindow* w = r.expand
                           ? static_cast<ZipWindow*>(new frmUnZippa(QApplication::activeWindow()))
                           : static_cast<ZipWindow*>(new frmZippa(QApplication::activeWindow()));
        slot = w;
        w->setSource(r.sorgente);
        w->lblFileDest->setText(r.destinazione);
        w->AutoAvvio = r.autoAvvio;
        w->AutoChiusura = r.autoChiusura;
        w->exec();
        return QString();
    }

    QString showConnessioni(bool automatico) override {
        if (QString p = guiProblem(); !p.isEmpty())
            return p;
        QPointer<QDialog>& slot = com::moduleState<OpenWindows>().connessioni;
        if (slot)
            return alreadyOpen(slot);
        auto* w = new frmConnessioni(QApplication::activeWindow());
        slot = w;
        w->Automatico = automatico;
        w->exec();
        return QString();
    }

    QString hookWheel(qint64 hwnd, std::function<bool()> onWheel) override {
        if (QString p = guiProblem(); !p.isEmpty())
            return p;
        return WheelHook::current().hook(hwnd, std::move(onWheel));
    }

    void unhookWheel(qint64 hwnd) override {
        if (guiProblem().isEmpty())
            WheelHook::current().unhook(hwnd);
    }
};

} // namespace

void installLibraryWindows() {
    static QtLibraryWindows windows;
    setLibraryWindows(&windows);
}

} // namespace tarv::utility
