#include "ScriptCommand.h"

#include "CommandLine.h"
#include "SavePassword.h"

#include <algorithm>

namespace tarv {

namespace {

ScriptCommand wrong(const QString& text) {
    ScriptCommand c;
    c.mode = ScriptCommand::Mode::Wrong;
    c.error = text;
    return c;
}

bool isOption(const QString& a) {
    return a.size() > 1 && a.startsWith(QLatin1Char('-'));
}

} // namespace

ScriptCommand ScriptCommand::parse(const QStringList& arguments, const QString& programName) {
    const bool sendmailName = programName == QLatin1String("sendmail");
    if (!sendmailName) {
        if (opensSettingsOnly(arguments))
            return {.mode = Mode::Settings};
        if (savesPassword(arguments))
            return {.mode = Mode::SavePassword};
        if (std::none_of(arguments.cbegin(), arguments.cend(), isOption))
            return {.mode = Mode::Window};
    }

    ScriptCommand c;
    c.mode = sendmailName ? Mode::Sendmail : Mode::Send;
    bool sendOptions = false, sendmailOptions = sendmailName, optionsEnded = false;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        QString a = arguments[i];
        if (optionsEnded || !isOption(a)) {
            positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value"; "-fvalue" or "-f value".
        QString inlineValue;
        bool hasInline = false;
        if (a.startsWith(QLatin1String("--"))) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            if (eq > 0) {
                inlineValue = a.mid(eq + 1);
                a = a.left(eq);
                hasInline = true;
            }
        } else if (a.size() > 2 && QStringLiteral("fFrBNR").contains(a[1]) &&
                   !a.startsWith(QLatin1String("-o"))) {
            inlineValue = a.mid(2);
            a = a.left(2);
            hasInline = true;
        }
        bool missing = false;
        const auto value = [&]() -> QString {
            if (hasInline)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            missing = true;
            return QString();
        };
        const auto flag = [&](bool& target) {
            if (hasInline)
                return false;
            target = true;
            return true;
        };
        bool known = true, send = false, sendmail = false;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            if (!hasInline)
                return {.mode = Mode::Help};
            known = false;
        } else if (a == QLatin1String("--version") || a == QLatin1String("-V")) {
            if (!hasInline)
                return {.mode = Mode::Version};
            known = false;
        } else if (a == QLatin1String("--to")) {
            c.to << value();
            send = true;
        } else if (a == QLatin1String("--subject")) {
            c.subject = value();
            send = true;
        } else if (a == QLatin1String("--attach")) {
            c.attachments << value();
            send = true;
        } else if (a == QLatin1String("--from")) {
            c.from = value();
        } else if (a == QLatin1String("--server")) {
            c.server = value();
        } else if (a == QLatin1String("--port")) {
            const QString text = value();
            bool ok = false;
            const uint port = text.toUInt(&ok);
            if (!missing && (!ok || port < 1 || port > 65535))
                return wrong(QStringLiteral("porta non valida: \"%1\" (da 1 a 65535).").arg(text));
            c.port = quint16(port);
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            known = flag(c.verbose);
        } else if (a == QLatin1String("-t")) {
            bool t = false;
            known = flag(t);
            sendmail = true;
        } else if (a == QLatin1String("-f") || a == QLatin1String("-r")) {
            c.from = value();
            sendmail = true;
        } else if (a == QLatin1String("-F") || a == QLatin1String("-B") ||
                   a == QLatin1String("-N") || a == QLatin1String("-R")) {
            // The sender's full name, the body type, delivery notices: the message's own
            // header says the first, the message's bytes the second, and the last two have
            // no meaning for a direct submission.
            value();
            sendmail = true;
        } else if (a == QLatin1String("-i") || a == QLatin1String("-oi")) {
            c.dotEndsInput = false;
            sendmail = true;
        } else if (a.startsWith(QLatin1String("-o")) || a == QLatin1String("-bm") ||
                   a.startsWith(QLatin1String("-e")) || a == QLatin1String("-U") ||
                   a == QLatin1String("-G")) {
            sendmail = true; // sendmail's delivery and error modes: one way to deliver here
        } else {
            known = false;
        }
        if (!known)
            return wrong(
                QStringLiteral("opzione sconosciuta: %1 (velinor --help elenca le opzioni).")
                    .arg(arguments[i]));
        if (missing)
            return wrong(QStringLiteral("manca il valore dell'opzione %1.").arg(a));
        sendOptions |= send;
        sendmailOptions |= sendmail;
    }
    if (sendOptions && sendmailOptions)
        return wrong(QStringLiteral("--to, --subject e --attach non vanno insieme a -t e alle "
                                    "opzioni di sendmail."));
    if (sendmailOptions) {
        c.mode = Mode::Sendmail;
        c.to << positional;
        return c;
    }
    if (!positional.isEmpty())
        return wrong(QStringLiteral("argomento inatteso: %1 (i destinatari vanno dati con --to).")
                         .arg(positional.first()));
    if (c.to.isEmpty())
        return wrong(QStringLiteral("manca il destinatario (--to INDIRIZZO)."));
    return c;
}

QString ScriptCommand::help() {
    return QStringLiteral(
        "Uso: velinor                      la finestra del messaggio (o la spedizione del file\n"
        "                                  Default.ini quando Nascosto ed Esci sono True)\n"
        "     velinor Impostazioni         la finestra delle impostazioni\n"
        "     velinor --salva-password     salva la password dell'utente (una riga da\n"
        "                                  standard input, o chiesta sul terminale)\n"
        "     velinor --to INDIRIZZO [opzioni]   spedisce un messaggio; il testo da standard\n"
        "                                  input (UTF-8; nessuno se è un terminale)\n"
        "     velinor -t [-f INDIRIZZO] [-i] [INDIRIZZO...]   interfaccia sendmail: un\n"
        "                                  messaggio RFC 5322 intero da standard input\n"
        "\n"
        "Opzioni della spedizione:\n"
        "  --to INDIRIZZO      destinatario (ripetibile; un messaggio per destinatario)\n"
        "  --subject TESTO     oggetto\n"
        "  --attach FILE       allegato (ripetibile)\n"
        "  --from INDIRIZZO    mittente (altrimenti quello delle impostazioni)\n"
        "  --server NOME       server SMTP (altrimenti quello delle impostazioni)\n"
        "  --port N            porta del server (altrimenti Porta delle impostazioni, o 25)\n"
        "  -v, --verbose       il dialogo SMTP su standard error (password nascosta)\n"
        "\n"
        "Interfaccia sendmail (anche con un collegamento chiamato sendmail):\n"
        "  -t                  destinatari da To, Cc e Bcc (più gli argomenti); Bcc tolto\n"
        "  -f INDIRIZZO        mittente della busta\n"
        "  -i, -oi             una riga con il solo \".\" non termina il messaggio\n"
        "  -r INDIRIZZO        come -f\n"
        "  -F NOME, -B TIPO, -N, -R, -o..., -bm, -e..., -U, -G   accettate e senza effetto\n"
        "\n"
        "  -h, --help          questo aiuto\n"
        "  -V, --version       la versione\n"
        "\n"
        "Stato di uscita: 0 spedito a tutti; 64 riga di comando errata; 65 indirizzo o\n"
        "messaggio non valido; 66 allegato mancante o illeggibile; 68 server sconosciuto;\n"
        "69 rifiuto definitivo (5xx); 75 errore temporaneo (4xx, connessione, rete): riprovare;\n"
        "76 risposta non SMTP; 77 accesso rifiutato (535) o password mancante; 78 impostazioni\n"
        "mancanti o non valide. Con più destinatari vale il peggiore.\n");
}

} // namespace tarv
