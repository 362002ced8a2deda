#include "ConsoleSend.h"

#include "AttachmentText.h"
#include "ConsoleMessageBoxes.h"
#include "ConsoleView.h"
#include "ExitStatus.h"
#include "HandOffClaim.h"
#include "HandOffFile.h"
#include "MessageText.h"
#include "Paths.h"
#include "ProgramSettings.h"
#include "SendmailMessage.h"
#include "Services.h"
#include "SmtpSession.h"
#include "SmtpTranscript.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <unistd.h>

namespace tarv::ConsoleSend {

namespace {

void say(std::FILE* err, const QString& text) {
    std::fprintf(err, "velinor: %s\n", text.toLocal8Bit().constData());
    std::fflush(err);
}

// A damaged store would read as settings never made: said as what it is, naming the file.
bool damagedStore(const ProgramSettings& settings, std::FILE* err) {
    const QString damage = settings.storeDamage();
    if (damage.isEmpty())
        return false;
    say(err, QStringLiteral("le impostazioni non possono essere lette: %1. Spostare il file "
                            "altrove (le impostazioni andranno inserite di nuovo) o "
                            "ripristinarlo da una copia.")
                 .arg(damage));
    return true;
}

// Nobody answers: a box (none is expected in an unattended send) takes its safest button and
// says so; no bell rings on the caller's terminal.
class QuietBoxes : public ConsoleMessageBoxes {
public:
    QuietBoxes() : ConsoleMessageBoxes(stdin, stderr, 0) {}
    void beep() override {}
};

struct Outcome {
    int status = EX_OK;
    QStringList served, notServed;
};

// One job, unattended, through a session of its own settings; `verbose` writes the dialogue.
struct Sender {
    ProgramSettings& settings;
    std::FILE* err;
    quint16 port = 0;
    bool verbose = false;
    qint64 defaultPauseMs = -1;

    // Sends to each recipient of the job in turn on its own connection (one job per
    // recipient, so that a refused recipient does not keep the others from their message);
    // a failure that is not the recipient's own ends the run for all that follow.
    Outcome eachRecipient(SendJob job, const QStringList& recipients) {
        Outcome o;
        QuietBoxes boxes;
        Services quiet;
        quiet.messageBoxes = &boxes;
        ScopedServices scope(quiet);
        SmtpTranscript transcript(err);
        ConsoleView view;
        SmtpSession session(view, settings);
        if (port)
            session.setPort(port);
        if (verbose)
            session.setTranscript(&transcript);
        session.setDefaultPauseMs(defaultPauseMs);
        job.autoSend = job.exitFlag = QStringLiteral("True");
        bool stop = false;
        for (const QString& r : recipients) {
            if (stop) {
                o.notServed << r;
                continue;
            }
            view.fields = job;
            view.fields.recipients = {r};
            view.completed = view.failed = false;
            session.SendMimeConnect_Click();
            if (view.completed && !view.failed) {
                o.served << r;
                continue;
            }
            const int status = view.failed ? session.exitStatus() : EX_SOFTWARE;
            say(err, QStringLiteral("%1: %2").arg(r, view.outcome()));
            o.notServed << r;
            o.status = ExitStatus::worse(o.status, status);
            // Only a refused recipient (RCPT TO) concerns that recipient alone.
            stop = session.step() != 3;
        }
        if (recipients.size() > 1 && !o.notServed.isEmpty())
            say(err, ExitStatus::recipientSummary(o.served, o.notServed));
        return o;
    }
};

} // namespace

QByteArray readInput(std::FILE* in, bool evenFromTerminal) {
    QByteArray data;
    if (!evenFromTerminal && isatty(fileno(in)))
        return data;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        data.append(buffer, qsizetype(n));
    return data;
}

int run(const ScriptCommand& c, ProgramSettings& settings, const QByteArray& input,
        std::FILE* err) {
    if (damagedStore(settings, err))
        return EX_CONFIG;
    settings.Apri_Chiave_Programma();
    SendJob job;
    job.server =
        c.server.isEmpty() ? settings.Leggi_Impostazione(QStringLiteral("SMTP")) : c.server;
    job.sender = c.from.isEmpty() ? settings.Leggi_Impostazione(QStringLiteral("Email")) : c.from;
    if (MessageText::trimBlanks(job.server).isEmpty() ||
        MessageText::trimBlanks(job.sender).isEmpty()) {
        say(err, QStringLiteral("impostazioni mancanti: il server SMTP e il mittente vanno "
                                "impostati (velinor Impostazioni) o dati con --server e --from."));
        return EX_CONFIG;
    }
    if (!SendmailMessage::usableAddress(MessageText::trimBlanks(job.sender))) {
        say(err, QStringLiteral("indirizzo del mittente non valido: \"%1\".").arg(job.sender));
        return EX_DATAERR;
    }

    QStringList recipients;
    if (c.mode == ScriptCommand::Mode::Sendmail) {
        const SendmailMessage m = SendmailMessage::prepare(
            input, c.to, MessageText::trimBlanks(job.sender), c.dotEndsInput);
        if (!m.error.isEmpty()) {
            say(err, m.error);
            return EX_DATAERR;
        }
        job.message = m.bytes;
        recipients = m.recipients;
    } else {
        for (const QString& r : c.to)
            if (!SendmailMessage::usableAddress(r)) {
                say(err, QStringLiteral("indirizzo del destinatario non valido: \"%1\".").arg(r));
                return EX_DATAERR;
            }
        for (const QString& path : c.attachments) {
            const QFileInfo file(path);
            if (!file.isFile() || !file.isReadable()) {
                say(err, QStringLiteral("allegato mancante o illeggibile: %1").arg(path));
                return EX_NOINPUT;
            }
            job.attachments << file.absoluteFilePath();
        }
        job.hasAttachments = !job.attachments.isEmpty();
        QStringDecoder utf8(QStringDecoder::Utf8);
        job.body = utf8.decode(input);
        if (utf8.hasError()) {
            say(err, QStringLiteral("il testo da standard input non è UTF-8 valido: "
                                    "messaggio non spedito."));
            return EX_DATAERR;
        }
        job.subject = c.subject;
        recipients = c.to;
    }
    Sender sender{settings, err, c.port, c.verbose, 0};
    return sender.eachRecipient(job, recipients).status;
}

int runWithoutDisplay(ProgramSettings& settings, const QString& handOffPath, std::FILE* err) {
    const QString noDisplay =
        QStringLiteral("nessuno schermo disponibile (DISPLAY o WAYLAND_DISPLAY): la finestra non "
                       "può essere mostrata.");
    if (damagedStore(settings, err))
        return EX_CONFIG;
    settings.Registra_Percorso();
    settings.Apri_Chiave_Programma();
    SendJob job;
    job.server = settings.Leggi_Impostazione(QStringLiteral("SMTP"));
    job.sender = settings.Leggi_Impostazione(QStringLiteral("Email"));

    // The message as the compose window's start-up takes it: the hand-off file when it exists
    // and may be trusted, else the stored settings.
    const HandOffFile handOff(handOffPath);
    QString reason, refusal;
    const bool useHandOff = handOff.usable(&reason);
    if (!reason.isEmpty())
        refusal =
            QStringLiteral("il file %1 non è stato usato perché %2.").arg(handOff.path(), reason);
    // Taken for this run as the compose window's start-up takes it (HandOffClaim): used up
    // by a completed send, given back otherwise, less the recipients already served.
    HandOffClaim claim;
    if (useHandOff)
        claim.take(handOffPath);
    struct GiveBack {
        HandOffClaim& claim;
        int served = 0;
        ~GiveBack() { claim.giveBack(served); }
    } giveBack{claim};
    const HandOffFile source(claim.isTaken() ? claim.path() : handOffPath);
    const auto read = [&](const char* key) {
        return useHandOff ? source.Leggi_Ini(QStringLiteral("Dati"), QLatin1String(key))
                          : settings.Leggi_Impostazione(QLatin1String(key));
    };
    const QString dest = read("Dest");
    job.subject = read("Subject");
    job.body = read("Testo");
    const QString attachmentText = read("Allegato");
    job.autoSend = read("Nascosto");
    job.exitFlag = read("Esci");
    if (job.autoSend != QLatin1String("True") || job.exitFlag != QLatin1String("True")) {
        say(err, noDisplay);
        return 1;
    }
    if (!refusal.isEmpty())
        say(err, refusal);
    if (MessageText::trimBlanks(job.server).isEmpty() ||
        MessageText::trimBlanks(job.sender).isEmpty()) {
        say(err, QStringLiteral("impostazioni mancanti: il server SMTP e il mittente vanno "
                                "impostati (velinor Impostazioni)."));
        return EX_CONFIG;
    }
    for (const QString& path : splitAttachmentText(attachmentText))
        if (Paths::attributesReadable(path))
            job.attachments << path;
    job.hasAttachments = !job.attachments.isEmpty();
    job.recipients = splitRecipients(dest);

    // One job for the whole list, as the compose window sends it: the session goes from one
    // recipient to the next and stops at the first failure.
    QuietBoxes boxes;
    Services quiet;
    quiet.messageBoxes = &boxes;
    ScopedServices scope(quiet);
    ConsoleView view;
    view.fields = job;
    SmtpSession session(view, settings);
    session.SendMimeConnect_Click();
    if (view.completed && !view.failed) {
        // The hand-off is used up; a file start-up refused stays as it is.
        if (useHandOff)
            HandOffFile::useUp(claim, handOffPath);
        return EX_OK;
    }
    giveBack.served = session.recipientIndex();
    say(err, view.outcome());
    QStringList served, notServed;
    for (int i = 0; i < job.recipients.size(); ++i) {
        const QString r = MessageText::trimBlanks(job.recipients[i]);
        if (r.isEmpty())
            break;
        (i < session.recipientIndex() ? served : notServed) << r;
    }
    if (served.size() + notServed.size() > 1)
        say(err, ExitStatus::recipientSummary(served, notServed));
    return view.failed ? session.exitStatus() : EX_SOFTWARE;
}

} // namespace tarv::ConsoleSend
