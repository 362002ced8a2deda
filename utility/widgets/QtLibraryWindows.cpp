// The library's windows behind LibraryWindows: one window of each kind at a time on a thread,
// owned by the host's active window. Whether the thread can show them at all is the window
// host's decision, taken before these are reached (libraryWindows()).
#include "LibraryWindows.h"
#include "Module.h"
#include "UtilityWidgets.h"
#include "WheelHook.h"
#include "ZipWindow.h"
#include "frmConnessioni.h"

#include <QLineEdit>
#include <QPointer>

namespace tarv::utility {

namespace {

struct OpenWindows {
    QPointer<QDialog> zip[2];
    QPointer<QDialog> connessioni;
};

QString alreadyOpen(const QDialog* w) {
    return QStringLiteral("La finestra \"%1\" è già aperta").arg(w->windowTitle());
}

class QtLibraryWindows final : public LibraryWindows {
public:
    QString showZip(const ZipRequest& r, com::ErrorInfo* outcome) override {
        QPointer<QDialog>& slot = com::moduleState<OpenWindows>().zip[r.expand ? 1 : 0];
        if (slot)
            return alreadyOpen(slot);
        ZipWindow* w = r.expand ? static_cast<ZipWindow*>(new frmUnZippa(parentWindow()))
                                : static_cast<ZipWindow*>(new frmZippa(parentWindow()));
        slot = w;
        w->setSource(r.sorgente);
        w->lblFileDest->setText(r.destinazione);
        w->AutoAvvio = r.autoAvvio;
        w->AutoChiusura = r.autoChiusura;
        // The window deletes itself when it closes; its outcome is taken as it goes.
        *outcome = {com::controlError(18),
                    QStringLiteral("Operazione non eseguita: la finestra \"%1\" è stata chiusa "
                                   "prima")
                        .arg(w->windowTitle()),
                    QString()};
        QObject::connect(w, &ZipWindow::finishedWith,
                         [outcome](const com::ErrorInfo& e) { *outcome = e; });
        w->exec();
        return QString();
    }

    QString showConnessioni(bool automatico) override {
        QPointer<QDialog>& slot = com::moduleState<OpenWindows>().connessioni;
        if (slot)
            return alreadyOpen(slot);
        auto* w = new frmConnessioni(parentWindow());
        slot = w;
        w->Automatico = automatico;
        w->exec();
        return QString();
    }

    QString hookWheel(qint64 hwnd, std::function<bool()> onWheel) override {
        return WheelHook::current().hook(hwnd, std::move(onWheel));
    }

    void unhookWheel(qint64 hwnd) override { WheelHook::current().unhook(hwnd); }
};

} // namespace

void installLibraryWindows() {
    static QtLibraryWindows windows;
    setLibraryWindows(&windows);
}

} // namespace tarv::utility
