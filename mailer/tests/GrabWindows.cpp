// Renders the mailer's windows offscreen to PNG files for the README:
//   grab-windows OUTPUT_DIR
#include "Impostazioni.h"
#include "Iniziale.h"
#include "ProgramSettings.h"
#include "RegistryStore.h"
#include "Services.h"
#include "WidgetServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>

using namespace tarv;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir windir;
    qputenv("TARV_WINDIR", QFile::encodeName(windir.path()));
    QApplication app(argc, argv);
    installWidgetServices(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    ProgramSettings settings;
    settings.Apri_Chiave_Programma();
    settings.Crea_Chiave(QLatin1String(ProgramSettings::kProgramKey));
    QTemporaryDir docs(QDir::tempPath() + "/Documenti-XXXXXX");
    const QString doc = docs.filePath("Preventivo 2026.pdf");
    QFile(doc).open(QIODevice::WriteOnly);
    const QString sheet = docs.filePath("Listino prezzi.ods");
    QFile(sheet).open(QIODevice::WriteOnly);
    for (auto [name, value] : {std::pair{"SMTP", "mail.studiorossi.it"},
                               {"Email", "amministrazione@studiorossi.it"},
                               {"Dest", "clienti@esempio.it"},
                               {"Subject", "Preventivo richiesto"},
                               {"Testo", "Gentile cliente,\nin allegato il preventivo richiesto.\n\nCordiali saluti"},
                               {"Assistenza", "assistenza@studiorossi.it"},
                               {"Nascosto", ""},
                               {"Esci", "True"}})
        settings.Scrivi_Impostazione(QLatin1String(name), QString::fromUtf8(value));
    settings.Scrivi_Impostazione("Allegato", doc + "," + sheet + ",");

    {
        Impostazioni dialog(settings);
        dialog.show();
        app.processEvents();
        dialog.grab().save(out + "/impostazioni.png");
    }
    Iniziale window(settings);
    window.endProcess = [](int) {};
    window.show();
    window.Apertura();
    app.processEvents();
    window.grab().save(out + "/velinor.png");
    return 0;
}
