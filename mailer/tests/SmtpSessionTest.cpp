// The dialogue against a scripted server in this process: the faults no real server
// produces on demand.
#include "SmtpSession.h"
#include "ProgramSettings.h"
#include "SendTestSupport.h"

#include "TestWindowsDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>

#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

const QString kUnexpected = "The Server responds with an unexpected Response Code!";
const QString kSuccess = "La e-mail è stata spedita correttamente!";
const QString kExitQuestion = "L'E-mail è stata inviata correttamente. Uscire dal programma?";

int openDescriptors() {
    return int(QDir("/proc/self/fd")
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                   .size());
}

class SessionTest : public WindowsDirTest {
protected:
    RecordingSendView view;
    ProgramSettings settings{&win.registry};
    ScriptedServer server;
    std::unique_ptr<SmtpSession> session;

    void SetUp() override {
        win.pump.hook = [] { QCoreApplication::processEvents(); };
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        ASSERT_TRUE(settings.Scrivi_Impostazione("PausaAllegati", "0"));
        session = std::make_unique<SmtpSession>(view, settings);
        session->setPort(server.port());
        session->setConnectivityTest([] { return true; });
        view.jobFields.server = "127.0.0.1";
        view.jobFields.sender = "mario@rossi.it";
        view.jobFields.recipients = {"anna@bianchi.it"};
        view.jobFields.subject = "Ordine";
        view.jobFields.body = "Buongiorno";
        win.boxes.answer(MsgAnswer::No); // the exit question, unless a test says otherwise
    }

    void send() {
        session->SendMimeConnect_Click();
        // Let the server see whatever the client did last (its close, above all).
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
    }
    bool completed() const { return view.statuses.contains(kSuccess); }
    bool askedToExit() const {
        for (const auto& r : win.boxes.shown)
            if (r.text == kExitQuestion)
                return true;
        return false;
    }
    QString attach(const QString& name, const QByteArray& content) {
        const QString path = win.write(name, content);
        view.jobFields.attachments << path;
        view.jobFields.hasAttachments = true;
        return path;
    }
};

TEST_F(SessionTest, GoodDialogue) {
    send();
    EXPECT_EQ(server.commands, (QList<QByteArray>{"HELO rossi.it", "MAIL FROM: <mario@rossi.it>",
                                                  "RCPT TO:<anna@bianchi.it>", "DATA", "QUIT"}));
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_TRUE(server.messages[0].contains("\r\n\r\nBuongiorno\r\n"));
    EXPECT_TRUE(view.statuses.contains("Connesso a 127.0.0.1"));
    const qsizetype total = server.messages[0].size() - 2; // without the CR LF before "."
    EXPECT_TRUE(
        view.statuses.contains(QString("Sending message body... %1 Bytes from %1").arg(total)));
    EXPECT_EQ(view.lastStatus(), kSuccess);
    EXPECT_EQ(view.percents.last(), "100%");
    EXPECT_EQ(view.widths.back(), 4740);
    EXPECT_TRUE(askedToExit());
    EXPECT_TRUE(view.exits.empty()); // answered No
    EXPECT_EQ(win.boxes.beeps, 1);
    EXPECT_EQ(view.sendEnabled.front(), false);
    EXPECT_EQ(view.sendEnabled.back(), true);
    EXPECT_TRUE(server.clientClosed);
    EXPECT_FALSE(session->isSending());
    EXPECT_EQ(session->recipientIndex(), 0);
}

TEST_F(SessionTest, EveryLineEndReachesTheWireAsCrLf) {
    // The text box gives bare LF; other sources may give bare CR. On the wire every line ends
    // in CR LF, and no bare CR or LF is left to smuggle a command past the server.
    view.jobFields.body = "uno\ndue\rtre\r\nquattro\n.\nfine";
    send();
    ASSERT_EQ(server.messages.size(), 1);
    const QByteArray m = server.messages[0];
    EXPECT_TRUE(m.contains("\r\n\r\nuno\r\ndue\r\ntre\r\nquattro\r\n.\r\nfine\r\n"))
        << m.toStdString();
    for (qsizetype i = 0; i < m.size(); ++i) {
        if (m[i] == '\n')
            ASSERT_TRUE(i > 0 && m[i - 1] == '\r') << "bare LF at " << i;
        if (m[i] == '\r')
            ASSERT_TRUE(i + 1 < m.size() && m[i + 1] == '\n') << "bare CR at " << i;
    }
    EXPECT_EQ(view.lastStatus(), kSuccess);
}

TEST_F(SessionTest, ExitQuestionYesEndsTheProgram) {
    win.boxes.answers = {MsgAnswer::Yes};
    send();
    EXPECT_EQ(view.exits, std::vector<int>{0});
}

TEST_F(SessionTest, RepliesInPiecesAndOverSeveralLines) {
    server.pieceSize = 3;
    server.script["GREETING"].text = "220-fake.test welcome\r\n220-second line\r\n220 ready\r\n";
    server.script["HELO"].text = "250-fake.test\r\n250-PIPELINING\r\n250 8BITMIME\r\n";
    server.script["END"].text = "250-queued\r\n250 as 12345\r\n";
    send();
    EXPECT_TRUE(completed()) << view.lastStatus().toStdString();
    EXPECT_EQ(server.commands.size(), 5);
    // Read three bytes at a time, each reply is shown once it is whole.
    EXPECT_EQ(view.echoAppends, 7);
    EXPECT_TRUE(view.everyEcho.startsWith("220-fake.test welcome\r\n220-second line\r\n"
                                          "220 ready\r\n250-fake.test\r\n"));
}

TEST_F(SessionTest, SeveralRepliesInOneRead) {
    // The reply to MAIL FROM comes early, with the one to HELO.
    server.script["HELO"].text = "250 fake.test\r\n250 2.1.0 Ok\r\n";
    server.script["MAIL"] = {ScriptedServer::Act::Silence, {}};
    send();
    EXPECT_TRUE(completed()) << view.lastStatus().toStdString();
    EXPECT_EQ(server.commands.size(), 5);
}

// A wrong code at any step ends the connection there: nothing more is sent, no completion,
// and the send button comes back.
TEST_F(SessionTest, WrongCodeAtEachStep) {
    const std::pair<QByteArray, int> steps[] = {
        {"GREETING", 0}, {"HELO", 1}, {"MAIL", 2}, {"RCPT", 3},
        {"DATA", 4},     {"END", 4},  {"QUIT", 5},
    };
    for (const auto& [key, commandsSent] : steps) {
        // The server's words are shown; the status says whether a retry may cure.
        for (const auto& [reply, exitStatus] :
             {std::pair{QByteArray("554 5.7.1 refused\r\n"), 69},
              std::pair{QByteArray("421-4.3.2 closing\r\n421 4.3.2 try later\r\n"), 75},
              std::pair{QByteArray("500 5.5.2 line too long\r\n"), 69},
              std::pair{QByteArray("hello\r\n"), 76}, std::pair{QByteArray("25 short\r\n"), 76}}) {
            SCOPED_TRACE(std::string(key.constData()) + " " + reply.constData());
            ScriptedServer s;
            s.script[key] = {ScriptedServer::Act::Reply, reply};
            RecordingSendView v;
            v.jobFields = view.jobFields;
            SmtpSession session2(v, settings);
            session2.setPort(s.port());
            session2.setConnectivityTest([] { return true; });
            session2.SendMimeConnect_Click();
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents();
            EXPECT_EQ(v.lastStatus(), kUnexpected + " Il server ha risposto: " +
                                          QString(reply).replace("\r\n", " ").trimmed());
            EXPECT_EQ(session2.exitStatus(), exitStatus);
            EXPECT_EQ(s.commands.size(), commandsSent);
            EXPECT_FALSE(v.statuses.contains(kSuccess));
            EXPECT_TRUE(s.clientClosed);
            EXPECT_EQ(v.sendEnabled.back(), true);
            EXPECT_FALSE(session2.isSending());
        }
    }
    EXPECT_FALSE(askedToExit());
}

TEST_F(SessionTest, RefusedStartTlsShowsTheServersReply) {
    ASSERT_TRUE(settings.Scrivi_Impostazione("Sicurezza", "STARTTLS"));
    server.script["EHLO"] = {ScriptedServer::Act::Reply, "250-fake.test\r\n250 STARTTLS\r\n"};
    server.script["STAR"] = {ScriptedServer::Act::Reply, "454 4.7.0 TLS not available\r\n"};
    send();
    EXPECT_EQ(view.lastStatus(),
              kUnexpected + " Il server ha risposto: 454 4.7.0 TLS not available");
    EXPECT_EQ(session->exitStatus(), 75);
    EXPECT_TRUE(server.messages.isEmpty());
}

// A ready message (the sendmail interface) goes out as its own bytes; 8-bit ones only through
// 8BITMIME.
TEST_F(SessionTest, ReadyMessageAndEightBitMime) {
    const struct {
        QByteArray message;
        QByteArray ehlo; // empty: the server is not asked (HELO)
        QByteArray mailFrom;
        bool sent;
    } cases[] = {
        {"Subject: a\r\n\r\n.x\r\nfine", "", "MAIL FROM: <mario@rossi.it>", true},
        {"Subject: \xc3\xa8\r\n\r\ngi\xc3\xa0\r\n", "250-fake.test\r\n250 8BITMIME\r\n",
         "MAIL FROM: <mario@rossi.it> BODY=8BITMIME", true},
        {"Subject: \xc3\xa8\r\n\r\ngi\xc3\xa0\r\n", "250 fake.test\r\n", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ehlo.toStdString());
        server.commands.clear();
        server.messages.clear();
        server.script["EHLO"] = {ScriptedServer::Act::Reply, c.ehlo};
        view.jobFields.message = c.message;
        send();
        EXPECT_EQ(server.commands.value(0).left(4), c.ehlo.isEmpty() ? "HELO" : "EHLO");
        EXPECT_EQ(server.commands.value(1), c.mailFrom);
        if (c.sent) {
            ASSERT_EQ(server.messages.size(), 1);
            EXPECT_EQ(server.messages[0],
                      c.message.endsWith("\r\n") ? c.message : c.message + "\r\n");
        } else {
            EXPECT_EQ(view.lastStatus(),
                      "Il messaggio contiene byte di 8 bit ma il server non offre "
                      "8BITMIME: messaggio non spedito.");
            EXPECT_EQ(session->exitStatus(), 69);
            EXPECT_TRUE(server.messages.isEmpty());
        }
    }
}

TEST_F(SessionTest, ServerClosingAfterTheContent) {
    server.script["END"] = {ScriptedServer::Act::Close, {}};
    send();
    EXPECT_EQ(server.commands.last(), "DATA"); // no QUIT after it
    EXPECT_EQ(view.lastStatus(), "Il server ha chiuso la connessione: messaggio non spedito.");
    EXPECT_FALSE(completed());
    EXPECT_FALSE(askedToExit());
    EXPECT_EQ(view.sendEnabled.back(), true);
}

// A silent server: the warning after 20 s, the connection given up at the limit for the
// step, and no completion. The clock moves 10 s on each reading.
TEST_F(SessionTest, SilenceEndsEveryWait) {
    const std::tuple<QByteArray, int, int> cases[] = {
        {"GREETING", 5, 0}, {"HELO", 5, 1}, {"DATA", 2, 4}, {"END", 10, 4}, {"QUIT", 5, 5},
    };
    for (const auto& [key, minutes, commandsSent] : cases) {
        SCOPED_TRACE(key.constData());
        ScriptedServer s;
        s.script[key] = {ScriptedServer::Act::Silence, {}};
        RecordingSendView v;
        v.jobFields = view.jobFields;
        SmtpSession session2(v, settings);
        session2.setPort(s.port());
        session2.setConnectivityTest([] { return true; });
        qint64 warnedAt = -1, gaveUpAt = -1;
        v.onStatus = [&](const QString& text) {
            if (text.startsWith("Errore SMTP service")) // the last wait's warning
                warnedAt = win.clock.now;
            if (text.startsWith("Nessuna risposta"))
                gaveUpAt = win.clock.now;
        };
        win.clock.step = 10000;
        session2.SendMimeConnect_Click();
        win.clock.step = 0;
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(v.statuses.contains("Errore SMTP service, timed out aspettando risposta"));
        EXPECT_EQ(v.lastStatus(),
                  QString("Nessuna risposta dal server entro %1 minuti: connessione chiusa.")
                      .arg(minutes));
        EXPECT_EQ(s.commands.size(), commandsSent);
        EXPECT_FALSE(v.statuses.contains(kSuccess));
        EXPECT_TRUE(s.clientClosed);
        // Warned once 20 s had passed, given up once the limit had.
        const qint64 waited = gaveUpAt - warnedAt;
        EXPECT_GE(waited, minutes * 60000 - 20000 - 10000);
        EXPECT_LE(waited, minutes * 60000 - 20000 + 20000);
    }
}

TEST_F(SessionTest, ResetInTheMiddleOfAnAttachment) {
    QByteArray data(600 * 1024, Qt::Uninitialized);
    for (char& c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    attach("dati.bin", data);
    server.resetAfterContent = 100 * 1024;
    send();
    EXPECT_TRUE(view.lastStatus().endsWith("Connection reset by peer."))
        << view.lastStatus().toStdString();
    EXPECT_TRUE(view.lastStatus().startsWith("Cannot Send Request. 10054") ||
                view.lastStatus().startsWith("Connessione interrotta: "));
    EXPECT_TRUE(server.messages.isEmpty());
    EXPECT_FALSE(completed());
    EXPECT_EQ(view.sendEnabled.back(), true);
}

// A server that takes the data slowly: every byte still goes out, in order.
TEST_F(SessionTest, FullConnectionLosesNothing) {
    QByteArray data(6 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    attach("pesante.bin", data);
    server.holdContentMs = 400;
    win.boxes.answers = {MsgAnswer::Yes, MsgAnswer::No};
    send();
    EXPECT_TRUE(completed()) << view.lastStatus().toStdString();
    ASSERT_EQ(server.messages.size(), 1);
    const QByteArray& m = server.messages[0];
    const QByteArray header = "filename=\"pesante.bin\"\r\n\r\n";
    const qsizetype start = m.indexOf(header) + header.size();
    const qsizetype end = m.indexOf("\r\n--NextMimePart--");
    QByteArray encoded = m.mid(start, end - start);
    encoded.replace("\r\n", "");
    EXPECT_EQ(QByteArray::fromBase64(encoded), data);
}

// A server that floods replies nobody asked for while it takes the message slowly: what is
// kept of them stays bounded, and the connection ends there.
TEST_F(SessionTest, FloodOfRepliesDuringTheMessageEndsTheConnection) {
    attach("pesante.bin", QByteArray(6 * 1024 * 1024, 'x'));
    server.holdContentMs = 1500;
    server.floodDuringContent = 1024 * 1024;
    win.boxes.answers = {MsgAnswer::Yes, MsgAnswer::No};
    send();
    EXPECT_EQ(view.lastStatus(), "Il server ha inviato più di 64 KiB senza attendere i comandi: "
                                 "connessione chiusa, messaggio non spedito.");
    EXPECT_TRUE(server.messages.isEmpty());
    EXPECT_LE(view.everyEcho.size(), 70 * 1024);
    EXPECT_FALSE(completed());
}

TEST_F(SessionTest, UnreadableAttachmentEndsTheSendCleanly) {
    attach("primo.txt", "uno");
    view.jobFields.attachments << win.file("sparito.pdf"); // listed, then removed
    send();
    EXPECT_EQ(view.lastStatus(),
              QString("Impossibile leggere l'allegato \"%1\": messaggio non spedito.")
                  .arg(win.file("sparito.pdf")));
    EXPECT_TRUE(server.messages.isEmpty()); // no "." went out: the server drops the partial message
    EXPECT_EQ(server.commands.last(), "DATA");
    EXPECT_TRUE(server.clientClosed);
    EXPECT_FALSE(completed());
}

TEST_F(SessionTest, OneConnectionPerRecipient) {
    view.jobFields.recipients = {"anna@bianchi.it", " bruno@verdi.it", "carla@neri.it"};
    send();
    EXPECT_EQ(server.connections, 3);
    QList<QByteArray> rcpts;
    for (const QByteArray& c : server.commands)
        if (c.startsWith("RCPT"))
            rcpts << c;
    EXPECT_EQ(rcpts, (QList<QByteArray>{"RCPT TO:<anna@bianchi.it>", "RCPT TO:<bruno@verdi.it>",
                                        "RCPT TO:<carla@neri.it>"}));
    ASSERT_EQ(server.messages.size(), 3);
    EXPECT_TRUE(server.messages[1].contains("\r\nTo: bruno@verdi.it\r\n"));
    EXPECT_EQ(win.boxes.shown.size(), 1u); // one exit question, after the last
    EXPECT_EQ(session->recipientIndex(), 0);

    // An empty element ends the list; a blank one too.
    for (const QStringList& list : {QStringList{"anna@bianchi.it", "", "carla@neri.it"},
                                    QStringList{"anna@bianchi.it", " "}}) {
        ScriptedServer s;
        session->setPort(s.port());
        view.jobFields.recipients = list;
        win.boxes.answer(MsgAnswer::No);
        send();
        EXPECT_EQ(s.connections, 1);
        EXPECT_TRUE(completed());
    }
}

TEST_F(SessionTest, AfterAFailedRecipientThePressResumesThereOnlyIfTheFieldIsUnchanged) {
    struct Case {
        QStringList retry;
        QList<QByteArray> rcpts; // of the second press
    } cases[] = {
        {{"anna@bianchi.it", "bruno@verdi.it"}, {"RCPT TO:<bruno@verdi.it>"}},
        {{"bruno@verdi.com"}, {"RCPT TO:<bruno@verdi.com>"}},
        {{"carla@neri.it", "dario@gialli.it"},
         {"RCPT TO:<carla@neri.it>", "RCPT TO:<dario@gialli.it>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.retry.join(";").toStdString());
        ScriptedServer s;
        SmtpSession fresh(view, settings);
        fresh.setPort(s.port());
        fresh.setConnectivityTest([] { return true; });
        // The second recipient is refused.
        win.pump.hook = [&] {
            QCoreApplication::processEvents();
            if (s.messages.size() == 1)
                s.script["RCPT"] = {ScriptedServer::Act::Reply, "550 5.1.1 no such user\r\n"};
        };
        view.jobFields.recipients = {"anna@bianchi.it", "bruno@verdi.it"};
        fresh.SendMimeConnect_Click();
        ASSERT_EQ(s.messages.size(), 1);
        ASSERT_EQ(view.lastStatus(),
                  kUnexpected + " Il server ha risposto: 550 5.1.1 no such user");

        win.pump.hook = [] { QCoreApplication::processEvents(); };
        s.script["RCPT"] = {ScriptedServer::Act::Reply, "250 2.1.5 Ok\r\n"};
        s.commands.clear();
        win.boxes.answers.clear();
        win.boxes.answer(MsgAnswer::No);
        view.jobFields.recipients = c.retry;
        fresh.SendMimeConnect_Click();
        QList<QByteArray> rcpts;
        for (const QByteArray& command : s.commands)
            if (command.startsWith("RCPT"))
                rcpts << command;
        EXPECT_EQ(rcpts, c.rcpts);
        EXPECT_EQ(view.lastStatus(), kSuccess);
        EXPECT_EQ(fresh.recipientIndex(), 0);
    }
}

TEST_F(SessionTest, AddressesAreCheckedBeforeAnyConnection) {
    const QString recipientBox = "L'indirizzo del destinatario non è corretto!";
    const QString senderBox = "L'indirizzo del mittente non è corretto!";
    struct Case {
        QStringList recipients;
        QString sender;
        QString box;
    } cases[] = {
        {{}, "mario@rossi.it", recipientBox},
        {{"anna.bianchi.it"}, "mario@rossi.it", recipientBox},
        {{"anna@bianchi.it\r\nRCPT TO:<x@y.z>"}, "mario@rossi.it", recipientBox},
        {{"anna@bianchi.it", "b@c.it\nData"}, "mario@rossi.it", recipientBox},
        {{"", "anna@bianchi.it"}, "mario@rossi.it", recipientBox},
        {{"anna@bianchi.it"}, "mario@rossi.it\r\nRCPT TO:<x@y.z>", senderBox},
        {{"anna@bianchi.it"}, "mario@rossi.it\x01", senderBox},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.recipients.join(";").toStdString() + " / " + k.sender.toStdString());
        win.boxes.shown.clear();
        win.boxes.answers.clear();
        view.jobFields.recipients = k.recipients;
        view.jobFields.sender = k.sender;
        send();
        ASSERT_EQ(win.boxes.shown.size(), 1u);
        EXPECT_EQ(win.boxes.shown[0].text, k.box);
        EXPECT_EQ(view.sendEnabled.back(), true);
    }
    EXPECT_EQ(server.connections, 0);

    // "@" alone passes the check and is sent as it stands.
    view.jobFields.recipients = {"@"};
    view.jobFields.sender = "mario";
    win.boxes.answer(MsgAnswer::No);
    send();
    EXPECT_TRUE(server.commands.contains("RCPT TO:<@>"));
    EXPECT_TRUE(server.commands.contains("HELO mario"));
}

TEST_F(SessionTest, ConnectivityQuestionBothWays) {
    const QString q1 =
        "Nessuna connessione Internet attiva è stata individuata. Attivare una connessione ora?";
    const QString q2 = "Provare ad inviare comunque?";
    session->setConnectivityTest([] { return false; });
    struct Case {
        std::vector<MsgAnswer> answers;
        int dialUps;
        bool sent;
    } cases[] = {
        {{MsgAnswer::Yes}, 1, true},
        {{MsgAnswer::No, MsgAnswer::Yes}, 0, true},
        {{MsgAnswer::No, MsgAnswer::No}, 0, false},
    };
    for (const Case& k : cases) {
        ScriptedServer s;
        session->setPort(s.port());
        win.boxes.shown.clear();
        win.boxes.answers.assign(k.answers.begin(), k.answers.end());
        win.boxes.answer(MsgAnswer::No); // exit question
        view.dialUps = 0;
        const int fds = openDescriptors();
        send();
        EXPECT_EQ(win.boxes.shown[0].text, q1);
        if (k.answers[0] == MsgAnswer::No)
            EXPECT_EQ(win.boxes.shown[1].text, q2);
        EXPECT_EQ(view.dialUps, k.dialUps);
        EXPECT_EQ(s.connections, k.sent ? 1 : 0);
        EXPECT_EQ(openDescriptors(), fds); // the socket made before the question is closed
        EXPECT_EQ(view.sendEnabled.back(), true);
    }
}

TEST_F(SessionTest, ConnectionFailures) {
    const int fds = openDescriptors();
    view.jobFields.server = "no-such-host.invalid";
    send();
    EXPECT_EQ(view.lastStatus(), "Host Sconosciuto: no-such-host.invalid");
    EXPECT_EQ(openDescriptors(), fds);

    quint16 closedPort;
    {
        ScriptedServer gone;
        closedPort = gone.port();
    }
    session->setPort(closedPort);
    view.jobFields.server = "127.0.0.1";
    send();
    EXPECT_EQ(view.lastStatus(), "Impossibile connettersi a 127.0.0.1Connection refused.");
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(view.sendEnabled.back(), true);
    EXPECT_TRUE(win.boxes.shown.empty());
}

// A server that never completes the handshake: the window keeps running while the connection
// is being set up, and the exit routine can end it.
TEST_F(SessionTest, ConnectLetsEventsRun) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length);
    // Fill the accept queue: further handshakes are left unanswered.
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(f, reinterpret_cast<sockaddr*>(&at), sizeof at);
        fillers.push_back(f);
    }
    QThread::msleep(50);
    session->setPort(ntohs(at.sin_port));
    int pumps = 0;
    win.pump.hook = [&] {
        QCoreApplication::processEvents();
        if (++pumps == 200)
            session->closeConnection(); // the user leaves the program
    };
    send();
    EXPECT_GE(pumps, 200);
    EXPECT_EQ(view.lastStatus(), "Impossibile connettersi a 127.0.0.1Interrupted system call.");
    EXPECT_EQ(view.sendEnabled.back(), true);
    for (int f : fillers)
        ::close(f);
    ::close(listener);
}

TEST_F(SessionTest, ExitFlagAndUnattendedRuns) {
    win.boxes.answers.clear();
    view.jobFields.exitFlag = "True";
    send();
    EXPECT_EQ(view.exits, std::vector<int>{0});
    EXPECT_TRUE(win.boxes.shown.empty()); // not asked

    // Started by itself with the exit flag: a failure is reported for the caller.
    view.exits.clear();
    view.jobFields.autoSend = "True";
    server.script["RCPT"] = {ScriptedServer::Act::Reply, "550 5.1.1 no such user\r\n"};
    send();
    EXPECT_EQ(view.unattendedFailures,
              QStringList{kUnexpected + " Il server ha risposto: 550 5.1.1 no such user"});
    EXPECT_TRUE(view.exits.empty());

    // Without the exit flag the window stays for the user to see.
    view.unattendedFailures.clear();
    view.jobFields.exitFlag = "true";
    send();
    EXPECT_TRUE(view.unattendedFailures.isEmpty());

    // No question stops an unattended run: neither the connectivity question nor the one
    // about a large file.
    view.unattendedFailures.clear();
    server.script["RCPT"] = {ScriptedServer::Act::Reply, "250 2.1.5 Ok\r\n"};
    server.messages.clear();
    win.boxes.shown.clear();
    view.jobFields.exitFlag = "True";
    session->setConnectivityTest([] { return false; });
    attach("grande.bin", QByteArray(2097153, 'B'));
    send();
    EXPECT_TRUE(win.boxes.shown.empty());
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_TRUE(server.messages[0].contains(QByteArray(57, 'B').toBase64()));
    EXPECT_EQ(view.exits, std::vector<int>{0});
    view.jobFields.attachments.clear();
    view.jobFields.hasAttachments = false;

    // The refused address of an unattended run is reported too.
    view.jobFields.exitFlag = "True";
    view.jobFields.recipients = {"nobody"};
    send();
    EXPECT_EQ(view.unattendedFailures, QStringList{"L'indirizzo del destinatario non è corretto!"});
}

TEST_F(SessionTest, LargeFileQuestion) {
    const QString question =
        "Il File è 2 MB Click Yes per procedere, No per saltare o Cancel se non vuoi vedere "
        "questo messaggio in futuro";
    const QByteArray big(2097153, 'B');
    const QByteArray bigHead = big.left(57).toBase64();
    struct Case {
        MsgAnswer answer;
        bool content;
        QString settingAfter;
    } cases[] = {
        {MsgAnswer::Yes, true, ""},
        {MsgAnswer::No, false, ""},
        {MsgAnswer::Cancel, true, "True"},
    };
    attach("grande.bin", big);
    for (const Case& k : cases) {
        ProgramSettings::saveLargeAttachmentSetting("");
        server.messages.clear();
        win.boxes.shown.clear();
        win.boxes.answers = {k.answer, MsgAnswer::No};
        send();
        ASSERT_GE(win.boxes.shown.size(), 1u);
        EXPECT_EQ(win.boxes.shown[0].text, question);
        EXPECT_EQ(win.boxes.shown[0].buttons, MsgButtons::YesNoCancel);
        ASSERT_EQ(server.messages.size(), 1);
        const QByteArray& m = server.messages[0];
        EXPECT_EQ(m.contains(bigHead), k.content);
        EXPECT_TRUE(m.contains("filename=\"grande.bin\""));
        if (!k.content)
            EXPECT_TRUE(m.contains("filename=\"grande.bin\"\r\n\r\n\r\n--NextMimePart--\r\n"));
        EXPECT_EQ(ProgramSettings::largeAttachmentSetting(), k.settingAfter);
        EXPECT_TRUE(completed());
    }
    // Once the setting says "True" nobody is asked again; 2 MB exactly never asks.
    ProgramSettings::saveLargeAttachmentSetting("True");
    win.boxes.shown.clear();
    win.boxes.answers = {MsgAnswer::No};
    send();
    EXPECT_EQ(win.boxes.shown.size(), 1u); // only the exit question
    ProgramSettings::saveLargeAttachmentSetting("");
    view.jobFields.attachments = {};
    attach("giusto.bin", QByteArray(2097152, 'x'));
    win.boxes.shown.clear();
    win.boxes.answers = {MsgAnswer::No};
    send();
    EXPECT_EQ(win.boxes.shown.size(), 1u);
}

TEST_F(SessionTest, OneDialogueAtATime) {
    int presses = 0;
    view.onStatus = [&](const QString& s) {
        if (s.startsWith("Sending message body")) {
            ++presses;
            session->SendMimeConnect_Click(); // pressed again while the first runs
        }
    };
    send();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(server.connections, 1);
    EXPECT_TRUE(completed());
    // Disabled once at the start, enabled once at the end.
    EXPECT_EQ(view.sendEnabled, (std::vector<bool>{false, true}));
}

// The pause before each Base64 piece: 3000 ms unless "PausaAllegati" says otherwise.
TEST_F(SessionTest, PauseBeforeEachPiece) {
    attach("dati.bin", QByteArray(28000, 'p')); // 5 pieces of encoded text
    const std::pair<QString, qint64> cases[] = {
        {"", 3000}, {"7000", 7000}, {"0", 0}, {"abc", 3000}};
    for (const auto& [setting, pause] : cases) {
        SCOPED_TRACE(setting.toStdString());
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("PausaAllegati", setting);
        std::vector<qint64> times;
        view.onStatus = [&](const QString& s) {
            if (s.startsWith("Sending dati.bin"))
                times.push_back(win.clock.now);
        };
        win.clock.step = 500;
        win.boxes.answers = {MsgAnswer::No};
        send();
        win.clock.step = 0;
        ASSERT_EQ(times.size(), 5u);
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_GE(times[i] - times[i - 1], pause);
            EXPECT_LE(times[i] - times[i - 1], pause + 1500);
        }
        EXPECT_TRUE(completed());
    }
}

} // namespace
