// Renders the mailer's windows offscreen to PNG files for the README:
//   grab-windows OUTPUT_DIR
// The send pictures come from a real send to an SMTP server in this process.
#include "Accesso.h"
#include "Connessioni.h"
#include "EventPump.h"
#include "Impostazioni.h"
#include "Iniziale.h"
#include "MessageBoxes.h"
#include "ProgramSettings.h"
#include "SendTestSupport.h"
#include "Services.h"
#include "SmtpSession.h"
#include "WidgetServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

using namespace tarv;

namespace {

// Answers every question with No: the pictures stay in the program after the send.
class AnswerNo : public MessageBoxes {
public:
    MsgAnswer show(const MessageBoxRequest& r) override {
        return r.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    void beep() override {}
};

// Lets events run and takes one picture when the send passes a share of its bar.
class GrabbingPump : public EventPump {
public:
    Iniziale* window = nullptr;
    QString file;
    bool taken = false;
    void pump() override {
        QCoreApplication::processEvents();
        if (!taken && window && window->lblpcent->text() == QLatin1String("62%")) {
            taken = true;
            window->grab().save(file);
        }
    }
};

void writeFile(const QString& path, qint64 size) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray(size, 'x'));
}

} // namespace

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
    settings.Apri_Chiave_Programma();
    settings.Scrivi_Impostazione("SMTP", "127.0.0.1");
    settings.Scrivi_Impostazione("Email", "amministrazione@studiorossi.it");
    {
        Iniziale empty(settings);
        empty.endProcess = [](int) {};
        empty.show();
        empty.Apertura();
        app.processEvents();
        empty.grab().save(out + "/velinor-vuota.png");
    }

    QTemporaryDir docs(QDir::tempPath() + "/Documenti-XXXXXX");
    const QString doc = docs.filePath("Preventivo 2026.pdf");
    writeFile(doc, 180 * 1024);
    const QString sheet = docs.filePath("Listino prezzi.ods");
    writeFile(sheet, 420 * 1024);
    for (auto [name, value] :
         {std::pair{"Dest", "clienti@esempio.it"},
          {"Subject", "Preventivo richiesto"},
          {"Testo", "Gentile cliente,\nin allegato il preventivo richiesto.\n\nCordiali saluti"},
          {"Assistenza", "assistenza@studiorossi.it"},
          {"Nascosto", ""},
          {"Esci", "True"},
          {"PausaAllegati", "2"}})
        settings.Scrivi_Impostazione(QLatin1String(name), QString::fromUtf8(value));
    settings.Scrivi_Impostazione("Allegato", doc + "," + sheet + ",");

    {
        Impostazioni dialog(settings);
        dialog.show();
        app.processEvents();
        dialog.grab().save(out + "/impostazioni.png");
    }
    {
        // A typical provider: submission on port 587 with STARTTLS and a login. No keyring is
        // asked: the picture must not depend on the desktop it is made on.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        for (auto [name, value] : {std::pair{"SMTP", "smtp.esempio.it"},
                                   {"Porta", "587"},
                                   {"Sicurezza", "STARTTLS"},
                                   {"Utente", "amministrazione@studiorossi.it"}})
            settings.Scrivi_Impostazione(QLatin1String(name), QString::fromUtf8(value));
        Accesso dialog(settings, "smtp.esempio.it");
        dialog.Password->setText("password");
        dialog.show();
        app.processEvents();
        dialog.grab().save(out + "/accesso.png");
        dialog.Password->clear();
        settings.Apri_Chiave_Programma();
        for (const char* name : {"Porta", "Sicurezza", "Utente"})
            settings.Scrivi_Impostazione(QLatin1String(name), QString());
        settings.Scrivi_Impostazione("SMTP", "127.0.0.1");
    }

    ScriptedServer server;
    AnswerNo boxes;
    GrabbingPump pump;
    ScopedServices scope(Services{nullptr, &boxes, nullptr, &pump, nullptr, nullptr});
    Iniziale window(settings);
    window.endProcess = [](int) {};
    window.session().setPort(server.port());
    window.session().setConnectivityTest([] { return true; });
    window.show();
    window.Apertura();
    window.AttachmentList->setCurrentRow(0);
    emit window.AttachmentList->itemClicked(window.AttachmentList->item(0));
    app.processEvents();
    window.grab().save(out + "/velinor.png");

    pump.window = &window;
    pump.file = out + "/velinor-invio.png";
    window.SendMimeConnect_Click();
    for (int i = 0; i < 50; ++i)
        app.processEvents();
    window.grab().save(out + "/velinor-spedita.png");

    QFile book(windir.filePath("rasphone.pbk"));
    if (book.open(QIODevice::WriteOnly))
        book.write("[Ufficio Milano]\r\n[Casa]\r\n[Cellulare]\r\n");
    book.close();
    Connessioni prompt([] { return false; });
    prompt.show();
    app.processEvents();
    prompt.grab().save(out + "/connessioni.png");
    return pump.taken ? 0 : 1;
}
