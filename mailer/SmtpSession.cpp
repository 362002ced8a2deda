#include "SmtpSession.h"

#include "Base64.h"
#include "EventPump.h"
#include "ExitStatus.h"
#include "MessageBoxes.h"
#include "MessageText.h"
#include "MimeWriter.h"
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "Services.h"
#include "SmtpSocket.h"
#include "SmtpTranscript.h"
#include "WSKSOCK.h"

#include <algorithm>
#include <cstdio>

namespace tarv {

namespace {

const QString kRecipientRefused = QStringLiteral("L'indirizzo del destinatario non è corretto!");
const QString kSenderRefused = QStringLiteral("L'indirizzo del mittente non è corretto!");
const QString kUnexpectedCode =
    QStringLiteral("The Server responds with an unexpected Response Code!");
const QString kTimedOut = QStringLiteral("Errore SMTP service, timed out aspettando risposta");
const QString kSent = QStringLiteral("La e-mail è stata spedita correttamente!");
const QString kNoStartTls = QStringLiteral(
    "Il server non offre STARTTLS: messaggio non spedito, nulla è stato inviato in chiaro.");
const QString kClearConnection =
    QStringLiteral("La connessione con il server non è cifrata: la password non viene inviata. "
                   "Impostare Sicurezza STARTTLS o TLS.");
const QString kNoLoginMethod =
    QStringLiteral("Il server non offre l'accesso con AUTH PLAIN o LOGIN: messaggio non spedito.");
const QString kLoginRefused =
    QStringLiteral("Nome utente o password rifiutati dal server (535): messaggio non spedito.");
const QString kNoEightBit =
    QStringLiteral("Il messaggio contiene byte di 8 bit ma il server non offre 8BITMIME: "
                   "messaggio non spedito.");
// What is shown of a server's reply in the status: its lines joined, at most this long.
constexpr qsizetype kShownReply = 300;
const QString kTooMuchFromServer =
    QStringLiteral("Il server ha inviato più di 64 KiB senza attendere i comandi: connessione "
                   "chiusa, messaggio non spedito.");
// The most of the server's text kept at a time: a reply that never ends (no line end within
// this many bytes) is not a reply, and a server that is answered one reply at a time has no
// reason to send more.
constexpr qsizetype kMostKept = 64 * 1024;
// The longest command line, its line end included (RFC 5321 4.5.3.1.4).
constexpr qsizetype kLongestCommand = 512;

EventPump& pump() {
    return *Services::current().pump;
}
Clock& clock() {
    return *Services::current().clock;
}
MessageBoxes& boxes() {
    return *Services::current().messageBoxes;
}

} // namespace

SmtpSession::SmtpSession(SendView& view, ProgramSettings& settings, QObject* parent)
    : QObject(parent), m_view(view), m_settings(settings), m_socket(std::make_unique<SmtpSocket>()),
      m_connectivity(&WSKSOCK::Connessione_Attiva) {
    connect(m_socket.get(), &SmtpSocket::readyRead, this, &SmtpSession::DataArrival_MouseUp);
}

SmtpSession::~SmtpSession() = default;

void SmtpSession::closeConnection() {
    m_socket->close();
}

void SmtpSession::abandon(const QString& reason) {
    if (m_busy)
        fail(QString(), reason);
    else
        m_socket->close();
}

bool SmtpSession::connectionAlive(quint64 generation) const {
    return generation == m_generation && m_socket->isOpen();
}

QString SmtpSession::currentRecipient() const {
    return m_recipientIndex < m_job.recipients.size()
               ? MessageText::trimBlanks(m_job.recipients[m_recipientIndex])
               : QString();
}

bool SmtpSession::Ancora_Dest() const {
    const int next = m_recipientIndex + 1;
    return next < m_job.recipients.size() &&
           !MessageText::trimBlanks(m_job.recipients[next]).isEmpty();
}

void SmtpSession::SendMimeConnect_Click() {
    // One dialogue at a time: a second press while one runs would open a connection over it.
    if (m_busy)
        return;
    // After a failure the next press resumes at the recipient that failed, unless the user
    // has changed the recipients since: a changed list starts from its first address.
    if (m_recipientIndex != 0 && m_view.job().recipients != m_job.recipients)
        m_recipientIndex = 0;
    startConnection();
}

bool SmtpSession::checkAddresses() {
    const auto refuse = [this](const QString& text) {
        // Nobody would answer the box of an unattended run: the caller hears of it instead.
        if (!m_unattended) {
            boxes().beep();
            boxes().show(MessageBoxRequest{QString(), text, MsgButtons::Ok, MsgIcon::Information, 0,
                                           m_view.owner()});
        }
        failAs(EX_DATAERR, QString(), text);
        return false;
    };
    const QString field = m_job.recipients.join(QLatin1Char(';'));
    if (field.isEmpty() || !field.contains(QLatin1Char('@')))
        return refuse(kRecipientRefused);
    // Addresses go into commands and header lines: a line break there would let a field
    // write commands or headers of its own.
    for (int i = m_recipientIndex; i < m_job.recipients.size(); ++i) {
        const QString r = m_job.recipients[i];
        if (r.isEmpty())
            break;
        if (MessageText::hasControl(r))
            return refuse(kRecipientRefused);
    }
    if (currentRecipient().isEmpty())
        return refuse(kRecipientRefused);
    if (MessageText::hasControl(m_job.sender))
        return refuse(kSenderRefused);
    return true;
}

void SmtpSession::startConnection() {
    m_busy = true;
    m_view.setSendEnabled(false);
    m_job = m_view.job();
    m_exitStatus = EX_OK;
    m_unattended =
        m_job.autoSend == QLatin1String("True") && m_job.exitFlag == QLatin1String("True");
    if (!checkAddresses())
        return;
    m_submission = Submission::read(m_settings);
    if (!m_submission.problem.isEmpty()) {
        failAs(EX_CONFIG, m_submission.problem);
        return;
    }
    openRegistro();
    m_serverName = MessageText::trimBlanks(m_job.server);
    if (!readPassword())
        return;

    ++m_generation;
    if (!m_socket->create()) {
        fail(QStringLiteral("Cannot Create Socket."));
        return;
    }

    // An unattended run cannot answer questions: it tries the server, and a machine that is
    // really off line then fails the send for the caller to see.
    if (!m_unattended && !m_connectivity()) {
        const auto ask = [this](const QString& text) {
            return boxes().show(MessageBoxRequest{QString(), text, MsgButtons::YesNo,
                                                  MsgIcon::Question, 0, m_view.owner()});
        };
        if (ask(QStringLiteral("Nessuna connessione Internet attiva è stata individuata. "
                               "Attivare una connessione ora?")) == MsgAnswer::Yes) {
            m_view.offerDialUp();
        } else if (ask(QStringLiteral("Provare ad inviare comunque?")) != MsgAnswer::Yes) {
            fail(QString(),
                 QStringLiteral("Nessuna connessione Internet attiva: messaggio non spedito."));
            return;
        }
    }

    const QString server = m_job.server;
    const std::uint32_t address = WSKSOCK::ResolveHost(MessageText::trimBlanks(server));
    if (address == WSKSOCK::kNoAddress) {
        failAs(ExitStatus::ofUnresolvedHost(server), QStringLiteral("Host Sconosciuto: ") + server);
        return;
    }
    if (!m_socket->connectTo(address, m_port ? m_port : m_submission.port, pump())) {
        fail(QStringLiteral("Impossibile connettersi a ") + server +
             WSKSOCK::SocketErrorText(m_socket->lastError()));
        return;
    }
    m_view.setStatus(QStringLiteral("Connesso a ") + server);
    note(QStringLiteral("connesso a %1 porta %2, destinatario %3")
             .arg(m_serverName)
             .arg(m_port ? m_port : m_submission.port)
             .arg(currentRecipient()));
    m_opening = Opening::None;
    if (m_submission.security == Submission::Security::Tls && !startTls())
        return;
    if (!m_socket->startNotifications()) {
        fail(QStringLiteral("Non Posso Processare in Asincrono."));
        return;
    }

    m_inDialogo = true;
    m_messageBytes = 0;
    m_step = 0;
    m_view.clearEcho();
    m_expected = 220;
    m_replies.clear();
    m_echoDecoder.resetState();
    Attendi_Risposta();
}

void SmtpSession::DataArrival_MouseUp() {
    if (!m_socket->isOpen())
        return;
    QByteArray data;
    const int count = m_socket->receive(data);
    if (count < 0 && m_socket->lastError() == 10035)
        return; // nothing to read after all: nothing changes
    if (count < 1) {
        // The socket is closed by now. Before the 221 that is the end of this message.
        showEcho(m_replies.takeUnshownRest());
        if (m_busy && m_quitAccepted != m_generation)
            fail(count == 0
                     ? QStringLiteral("Il server ha chiuso la connessione: messaggio non spedito.")
                     : QStringLiteral("Connessione interrotta: ") + m_socket->errorText());
        return;
    }
    record(int(SmtpTranscript::Speaker::Server), data);
    // The echo shows whole replies: a hidden text cut by the reads is still hidden whole.
    m_replies.append(data);
    showEcho(m_replies.takeUnshownReplies());
    // Replies are judged by the wait that expects them, once they are whole. A server gets
    // one reply's room at most: more waiting than that (one reply that never ends, or replies
    // nobody asked for, sent while the message goes out) ends the connection.
    if (m_replies.size() <= kMostKept)
        return;
    if (m_inDialogo)
        failAs(EX_PROTOCOL, kTooMuchFromServer);
    else
        m_replies.clear();
}

void SmtpSession::showEcho(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    QString text = m_echoDecoder.decode(bytes);
    for (const QString& hidden : m_hidden)
        text.replace(hidden, QLatin1String("****"));
    m_view.appendEcho(text);
}

void SmtpSession::Attendi_Risposta() {
    const quint64 generation = m_generation;
    const qint64 limit = replyLimit();
    const qint64 start = clock().milliseconds();
    bool warned = false;
    while (connectionAlive(generation)) {
        pump().pump();
        if (!connectionAlive(generation))
            break;
        if (m_socket->hasBufferedData()) {
            // Decrypted bytes wait in the TLS layer, and the socket will not say so.
            DataArrival_MouseUp();
            continue;
        }
        if (!m_writing && m_replies.hasReply()) {
            handleReply(m_replies.takeReply());
            continue;
        }
        const qint64 waited = clock().milliseconds() - start;
        if (!warned && waited > kReplyWarningMs) {
            m_view.setStatus(kTimedOut);
            warned = true;
        }
        if (waited > limit) {
            fail(QStringLiteral("Nessuna risposta dal server entro %1 minuti: connessione chiusa.")
                     .arg(limit / 60000));
            break;
        }
        m_socket->waitReadable(1);
    }
}

qint64 SmtpSession::replyLimit() const {
    switch (m_step) {
    case 4:
        return kDataLimitMs;
    case 5:
        return kMessageLimitMs;
    default:
        return kCommandLimitMs;
    }
}

void SmtpSession::handleReply(const QByteArray& reply) {
    if (m_opening != Opening::None) {
        continueOpening(reply);
        return;
    }
    if (SmtpReplyBuffer::codeOf(reply) != m_expected) {
        failReply(reply);
        return;
    }
    ++m_step;
    if (m_step > 6) {
        // The server has answered QUIT: the message is delivered and the connection done.
        m_quitAccepted = m_generation;
        m_socket->close();
        return;
    }
    Passo_Successivo(m_step);
}

void SmtpSession::Passo_Successivo(int step) {
    const quint64 generation = m_generation;
    const auto line = [](const QString& text) { return (text + QLatin1String("\r\n")).toUtf8(); };
    switch (step) {
    case 1:
        if (m_submission.extended() || sendsEightBit()) {
            openingCommand(Opening::Ehlo, 250,
                           line(QStringLiteral("EHLO ") + MessageText::domainOf(m_job.sender)));
            return;
        }
        m_expected = 250;
        if (!Invia_Testo(line(QStringLiteral("HELO ") + MessageText::domainOf(m_job.sender))))
            return;
        break;
    case 2:
        m_expected = 250;
        if (!Invia_Testo(line(QStringLiteral("MAIL FROM: <") +
                              MessageText::trimBlanks(m_job.sender) + QLatin1Char('>') +
                              (sendsEightBit() ? QStringLiteral(" BODY=8BITMIME") : QString()))))
            return;
        break;
    case 3:
        m_expected = 250;
        if (!Invia_Testo(line(QStringLiteral("RCPT TO:<") + currentRecipient() + QLatin1Char('>'))))
            return;
        break;
    case 4:
        m_expected = 354;
        if (!Invia_Testo(line(QStringLiteral("DATA"))))
            return;
        break;
    case 5: {
        m_expected = 250;
        if (!m_job.message.isEmpty()) {
            // A ready message: its own bytes, made transparent, in pieces.
            QByteArray text = MessageText::dotStuff(m_job.message);
            if (!text.endsWith("\r\n"))
                text += "\r\n";
            text += ".\r\n";
            m_writing = true;
            for (qsizetype s = 0; s < text.size(); s += MimeWriter::kPieceSize) {
                if (!Invia_Testo(text.mid(s, MimeWriter::kPieceSize))) {
                    m_writing = false;
                    return;
                }
                pump().pump();
            }
            m_writing = false;
            note(QStringLiteral("messaggio di %1 byte inviato").arg(m_messageBytes));
            break;
        }
        if (!m_base64)
            m_base64 = std::make_unique<Base64>();
        MimeWriter writer(
            m_view, *m_base64, [this](const QByteArray& piece) { return Invia_Testo(piece); },
            m_job.hasAttachments, m_job.attachments, pauseMs());
        writer.setUnattended(m_unattended);
        m_writing = true;
        const MimeWriter::Outcome outcome =
            writer.SendMimetxt(m_job.sender, currentRecipient(), m_job.subject, m_job.body);
        m_writing = false;
        note(QStringLiteral("messaggio di %1 byte inviato").arg(m_messageBytes));
        if (outcome == MimeWriter::Outcome::AttachmentFailed) {
            // Closing before the final "." makes the server drop what it has of the message.
            failAs(EX_NOINPUT,
                   QStringLiteral("Impossibile leggere l'allegato \"%1\": messaggio non spedito.")
                       .arg(writer.failedFile()));
            return;
        }
        if (outcome != MimeWriter::Outcome::Sent)
            return;
        break;
    }
    case 6:
        m_expected = 221;
        if (!Invia_Testo(line(QStringLiteral("QUIT"))))
            return;
        break;
    default:
        return;
    }
    Attendi_Risposta();
    if (step == 6 && m_quitAccepted == generation)
        completion();
}

bool SmtpSession::readPassword() {
    forgetPassword();
    if (m_submission.user.isEmpty())
        return true;
    QString error;
    PasswordStore store;
    std::optional<QString> password = store.password(m_serverName, m_submission.user, &error);
    if (!password) {
        QString status =
            error.isEmpty()
                ? QStringLiteral("Nessuna password salvata per l'utente %1 sul server %2: "
                                 "salvarla dalle impostazioni (Login...) o con "
                                 "velinor --salva-password.")
                      .arg(m_submission.user, m_serverName)
                : QStringLiteral("Impossibile leggere la password: ") + error;
        if (error.isEmpty() && !store.keyringNotAsked().isEmpty())
            status += QStringLiteral(" Il portachiavi del desktop non è stato consultato: %1.")
                          .arg(store.keyringNotAsked());
        failAs(EX_NOPERM, status);
        return false;
    }
    m_password = std::move(*password);
    // Every form of the password the dialogue sends; each copy is wiped when the send ends.
    const auto hide = [this](QByteArray bytes) {
        if (!bytes.isEmpty())
            m_hidden << QString::fromLatin1(bytes);
        wipeSecret(bytes);
    };
    hide(plainToken());
    hide(loginAnswer(m_password));
    hide(loginAnswer(m_submission.user));
    if (!m_password.isEmpty())
        m_hidden.prepend(m_password);
    return true;
}

QByteArray SmtpSession::plainToken() const {
    // RFC 4616: authorisation identity (none), NUL, user, NUL, password; then Base64.
    QByteArray user = m_submission.user.toUtf8(), secret = m_password.toUtf8();
    QByteArray message;
    message.reserve(user.size() + secret.size() + 2);
    message.append('\0').append(user).append('\0').append(secret);
    QByteArray token = message.toBase64();
    wipeSecret(user);
    wipeSecret(secret);
    wipeSecret(message);
    return token;
}

QByteArray SmtpSession::loginAnswer(const QString& text) {
    QByteArray bytes = text.toUtf8();
    QByteArray answer = bytes.toBase64();
    wipeSecret(bytes);
    return answer;
}

void SmtpSession::sendSecret(Opening opening, int expected, const char* prefix, QByteArray secret) {
    QByteArray command;
    command.reserve(qsizetype(qstrlen(prefix)) + secret.size() + 2);
    command.append(prefix).append(secret).append("\r\n");
    wipeSecret(secret);
    openingCommand(opening, expected, std::move(command));
}

bool SmtpSession::startTls() {
    if (m_socket->startTls(m_serverName, pump(), clock(), kCommandLimitMs)) {
        m_view.setStatus(QStringLiteral("Connessione cifrata con ") + m_job.server);
        note(QStringLiteral("connessione cifrata (TLS), certificato di %1 verificato")
                 .arg(m_serverName));
        return true;
    }
    failTls();
    return false;
}

void SmtpSession::failTls() {
    const QString reason = m_socket->tlsError();
    if (reason.isEmpty())
        return; // the connection was closed while the handshake waited: that path has spoken
    if (m_socket->certificateRefused())
        failAs(EX_UNAVAILABLE,
               QStringLiteral("Certificato del server non valido: %1. Messaggio non spedito.")
                   .arg(reason));
    else
        fail(QStringLiteral("Impossibile stabilire una connessione cifrata con %1: %2. "
                            "Messaggio non spedito.")
                 .arg(m_serverName, reason));
}

void SmtpSession::openingCommand(Opening opening, int expected, QByteArray command) {
    m_opening = opening;
    m_expected = expected;
    // The rest of the dialogue runs inside the wait: a command that carried a login token is
    // wiped before it.
    const bool sent = Invia_Testo(command);
    wipeSecret(command);
    if (sent)
        Attendi_Risposta();
}

void SmtpSession::continueOpening(const QByteArray& reply) {
    const int code = SmtpReplyBuffer::codeOf(reply);
    const Opening opening = m_opening;
    const bool login = opening == Opening::AuthPlain || opening == Opening::AuthPlainAsk ||
                       opening == Opening::AuthLogin || opening == Opening::AuthUser ||
                       opening == Opening::AuthPassword;
    if (login && code == 535) {
        failAs(EX_NOPERM, kLoginRefused);
        return;
    }
    if (code != m_expected) {
        failReply(reply);
        return;
    }
    const auto line = [](const QByteArray& text) { return text + "\r\n"; };
    switch (opening) {
    case Opening::Ehlo:
        afterEhlo(reply);
        return;
    case Opening::StartTls:
        // Bytes that came after the 220 in the clear would later read as if they had come
        // through the encrypted connection.
        if (!m_replies.isEmpty()) {
            failAs(EX_PROTOCOL, kUnexpectedCode);
            return;
        }
        if (!startTls())
            return;
        openingCommand(Opening::Ehlo, 250,
                       line("EHLO " + MessageText::domainOf(m_job.sender).toUtf8()));
        return;
    case Opening::AuthPlainAsk:
        sendSecret(Opening::AuthPlain, 235, "", plainToken());
        return;
    case Opening::AuthLogin:
        sendSecret(Opening::AuthUser, 334, "", loginAnswer(m_submission.user));
        return;
    case Opening::AuthUser:
        sendSecret(Opening::AuthPassword, 235, "", loginAnswer(m_password));
        return;
    case Opening::AuthPlain:
    case Opening::AuthPassword:
    case Opening::None:
        break;
    }
    m_opening = Opening::None;
    m_step = 2;
    Passo_Successivo(2);
}

void SmtpSession::afterEhlo(const QByteArray& reply) {
    QList<QByteArray> auth;
    bool startTlsOffered = false;
    m_eightBitOffered = false;
    for (const QList<QByteArray>& words : SmtpReplyBuffer::extensions(reply)) {
        if (words.first() == "STARTTLS")
            startTlsOffered = true;
        else if (words.first() == "8BITMIME")
            m_eightBitOffered = true;
        else if (words.first() == "AUTH")
            auth += words.mid(1);
    }
    const bool user = !m_submission.user.isEmpty();
    if (!m_socket->isEncrypted()) {
        // A login without a chosen security still never goes out in the clear: it takes the
        // encryption the server offers, verified as if it had been asked for.
        if (m_submission.security == Submission::Security::StartTls || (user && startTlsOffered)) {
            if (!startTlsOffered) {
                failAs(EX_UNAVAILABLE, kNoStartTls);
                return;
            }
            openingCommand(Opening::StartTls, 220, "STARTTLS\r\n");
            return;
        }
        if (user) {
            failAs(EX_UNAVAILABLE, kClearConnection);
            return;
        }
    }
    if (user) {
        if (auth.contains("PLAIN")) {
            // A command line holds 512 bytes with its line end (RFC 4954 4): a longer token
            // goes on a line of its own after the server's 334.
            QByteArray token = plainToken();
            if (token.size() + qsizetype(sizeof "AUTH PLAIN \r\n") - 1 <= kLongestCommand) {
                sendSecret(Opening::AuthPlain, 235, "AUTH PLAIN ", std::move(token));
            } else {
                wipeSecret(token);
                openingCommand(Opening::AuthPlainAsk, 334, "AUTH PLAIN\r\n");
            }
        } else if (auth.contains("LOGIN"))
            openingCommand(Opening::AuthLogin, 334, "AUTH LOGIN\r\n");
        else
            failAs(EX_UNAVAILABLE, kNoLoginMethod);
        return;
    }
    if (sendsEightBit() && !m_eightBitOffered) {
        failAs(EX_UNAVAILABLE, kNoEightBit);
        return;
    }
    m_opening = Opening::None;
    m_step = 2;
    Passo_Successivo(2);
}

bool SmtpSession::Invia_Testo(const QByteArray& text) {
    if (!m_socket->isOpen())
        return false;
    // The message itself is counted, not written to the transcript.
    if (m_writing)
        m_messageBytes += text.size();
    else
        record(int(SmtpTranscript::Speaker::Client), text);
    if (m_socket->sendAll(text, pump(), clock(), kSendLimitMs))
        return true;
    if (!m_socket->isOpen())
        return false; // closed while waiting for room; that path has said why
    const int error = m_socket->lastError();
    fail(QStringLiteral("Cannot Send Request. ") + QString::number(error) +
         WSKSOCK::SocketErrorText(error));
    return false;
}

void SmtpSession::openRegistro() {
    const QString path = m_settings.Leggi_Impostazione(QStringLiteral("Registro")).trimmed();
    if (path.isEmpty()) {
        m_registro.reset();
        return;
    }
    if (m_registro && m_registroPath == path)
        return;
    m_registroPath = path;
    m_registro = std::make_unique<SmtpTranscript>(path);
    if (!m_registro->isOpen()) {
        // The send goes on without its record; whoever reads standard error learns why.
        std::fprintf(stderr, "velinor: impossibile scrivere il registro %s: %s\n",
                     path.toLocal8Bit().constData(), m_registro->error().toLocal8Bit().constData());
        m_registro.reset();
    }
}

void SmtpSession::completion() {
    note(QStringLiteral("spedito a %1").arg(currentRecipient()));
    boxes().beep();
    m_view.setStatus(kSent);
    m_view.setProgressWidth(MimeWriter::kFullWidth);
    m_view.setPercent(QStringLiteral("100%"));
    m_view.clearEcho();
    m_step = 0;
    if (Ancora_Dest()) {
        ++m_recipientIndex;
        startConnection();
        return;
    }
    m_inDialogo = false;
    m_recipientIndex = 0;
    const bool leave = m_job.exitFlag == QLatin1String("True");
    endDialogue();
    if (leave) {
        m_view.Chiudi_Programma(0);
        return;
    }
    const MsgAnswer answer = boxes().show(MessageBoxRequest{
        QString(), QStringLiteral("L'E-mail è stata inviata correttamente. Uscire dal programma?"),
        MsgButtons::YesNo, MsgIcon::Question, 0, m_view.owner()});
    if (answer == MsgAnswer::Yes)
        m_view.Chiudi_Programma(0);
}

void SmtpSession::failAs(int exitStatus, const QString& status, const QString& unattendedText) {
    m_failStatus = exitStatus;
    fail(status, unattendedText);
}

void SmtpSession::failReply(const QByteArray& reply) {
    // The server's own words say why (a refused STARTTLS, a 421, a line too long); they are
    // shown as one line, masked like the echo.
    QString said = QString::fromUtf8(reply).simplified();
    for (const QString& hidden : m_hidden)
        said.replace(hidden, QLatin1String("****"));
    said = MessageText::withoutControls(said);
    if (said.size() > kShownReply)
        said = said.left(kShownReply) + QStringLiteral("...");
    const int code = SmtpReplyBuffer::codeOf(reply);
    failAs(ExitStatus::ofReply(code),
           kUnexpectedCode + QStringLiteral(" Il server ha risposto: ") + said);
}

void SmtpSession::record(int speaker, const QByteArray& data) {
    for (SmtpTranscript* t : {m_transcript, m_registro.get()})
        if (t)
            t->bytes(SmtpTranscript::Speaker(speaker), data, m_hidden);
}

void SmtpSession::note(const QString& text) {
    for (SmtpTranscript* t : {m_transcript, m_registro.get()})
        if (t) {
            t->flush(m_hidden);
            t->note(text);
        }
}

bool SmtpSession::sendsEightBit() const {
    return std::any_of(m_job.message.cbegin(), m_job.message.cend(),
                       [](char c) { return uchar(c) >= 0x80; });
}

void SmtpSession::fail(const QString& status, const QString& unattendedText) {
    m_exitStatus = m_failStatus ? m_failStatus : EX_TEMPFAIL;
    m_failStatus = 0;
    if (!status.isEmpty() || !unattendedText.isEmpty())
        note(unattendedText.isEmpty() ? status : unattendedText);
    m_socket->close();
    showEcho(m_replies.takeUnshownRest());
    m_writing = false;
    m_opening = Opening::None;
    if (!status.isEmpty())
        m_view.setStatus(status);
    const bool wasSending = m_busy;
    endDialogue();
    if (wasSending && m_unattended)
        m_view.failUnattended(unattendedText.isEmpty() ? status : unattendedText);
}

void SmtpSession::forgetPassword() {
    for (QString& hidden : m_hidden)
        wipeSecret(hidden);
    m_hidden.clear();
    wipeSecret(m_password);
}

void SmtpSession::endDialogue() {
    forgetPassword();
    m_busy = false;
    m_view.setSendEnabled(true);
}

qint64 SmtpSession::pauseMs() {
    m_settings.Apri_Chiave_Programma();
    bool ok = false;
    const qint64 ms =
        m_settings.Leggi_Impostazione(QStringLiteral("PausaAllegati")).trimmed().toLongLong(&ok);
    if (ok && ms >= 0)
        return ms;
    return m_defaultPauseMs >= 0 ? m_defaultPauseMs : MimeWriter::kDefaultPauseMs;
}

} // namespace tarv
