// Velinor: the command line "Impostazioni" opens the settings window alone; "--salva-password"
// keeps a login password without any window; anything else opens the compose window and runs
// its start-up.
#include "CommandLine.h"
#include "Impostazioni.h"
#include "Iniziale.h"
#include "ProgramSettings.h"
#include "SavePassword.h"
#include "WidgetServices.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    if (argc == 2 && tarv::savesPassword({QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication core(argc, argv);
        tarv::ProgramSettings settings;
        return tarv::salvaPassword(settings, stdin, stdout, stderr);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velinor"));
    QApplication::setDesktopFileName(QStringLiteral("velinor"));
    tarv::installWidgetServices(app);
    QIcon icon;
    for (int size : {32, 48, 128})
        icon.addFile(QStringLiteral(":/velinor/velinor-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    tarv::ProgramSettings settings;
    if (tarv::opensSettingsOnly(QApplication::arguments().mid(1))) {
        tarv::Impostazioni window(settings);
        window.show();
        return app.exec();
    }

    tarv::Iniziale window(settings);
    window.show();
    window.Apertura();
    // Start-up lets events run (its questions, the automatic send), so the user may already
    // have closed the window; the event loop would then wait for a window that never comes.
    if (window.ended() || !window.isVisible())
        return window.exitStatus();
    return app.exec();
}
