// Velinor. What runs is decided before any Qt application object exists, because a GUI
// application aborts the process where no display can be reached:
//   --help, --version                       print and end
//   --salva-password                        keeps a login password, no window
//   --to ... / -t / a program named sendmail   sends from the command line, no window
//   Impostazioni                            the settings window alone
//   nothing                                 the compose window and its start-up; with no
//                                           display, the hand-off's unattended send alone
#include "ConsoleSend.h"
#include "GuiPlatform.h"
#include "HandOffFile.h"
#include "Impostazioni.h"
#include "Iniziale.h"
#include "ProgramSettings.h"
#include "SavePassword.h"
#include "ScriptCommand.h"
#include "WidgetServices.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <sysexits.h>

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "velinor: %s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const tarv::ScriptCommand command = tarv::ScriptCommand::parse(arguments, name);

    using Mode = tarv::ScriptCommand::Mode;
    switch (command.mode) {
    case Mode::Help:
        std::fputs(tarv::ScriptCommand::help().toLocal8Bit().constData(), stdout);
        return EX_OK;
    case Mode::Version:
        std::printf("velinor %s\n", TARV_VERSION);
        return EX_OK;
    case Mode::Wrong:
        say(command.error);
        return EX_USAGE;
    case Mode::SavePassword: {
        QCoreApplication core(argc, argv);
        tarv::ProgramSettings settings;
        return tarv::salvaPassword(settings, stdin, stdout, stderr);
    }
    case Mode::Send:
    case Mode::Sendmail: {
        QCoreApplication core(argc, argv);
        tarv::ProgramSettings settings;
        const QByteArray input =
            tarv::ConsoleSend::readInput(stdin, command.mode == Mode::Sendmail);
        return tarv::ConsoleSend::run(command, settings, input, stderr);
    }
    case Mode::Settings:
    case Mode::Window:
        break;
    }

    if (!tarv::GuiPlatform::find().available()) {
        if (command.mode == Mode::Settings) {
            say(QStringLiteral("nessuno schermo disponibile (DISPLAY o WAYLAND_DISPLAY): la "
                               "finestra delle impostazioni non può essere mostrata."));
            return 1;
        }
        QCoreApplication core(argc, argv);
        tarv::ProgramSettings settings;
        return tarv::ConsoleSend::runWithoutDisplay(
            settings, tarv::HandOffFile::besideExecutable().path(), stderr);
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
    if (command.mode == Mode::Settings) {
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
