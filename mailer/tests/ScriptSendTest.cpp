// velinor run as scripts, cron and other programs run it: no display at all (DISPLAY unset, or
// naming an X server that is gone, and no QT_QPA_PLATFORM), the message on standard input, the
// outcome in the exit status and on standard error. Against aiosmtpd.
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "SendTestSupport.h"

#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tarv;

namespace {

// A display that is gone: in the test's own network namespace no X server can be reached;
// elsewhere one whose socket does not exist.
QByteArray staleDisplay() {
    if (enterOwnNetwork())
        return ":97";
    for (int n = 97; n < 400; ++n)
        if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
            return ":" + QByteArray::number(n);
    return ":97";
}

struct Launch {
    QStringList args;
    QByteArray input;
    QByteArray display;       // empty: DISPLAY unset
    QString name = "velinor"; // the name the program is started under
    QByteArray hosts;         // the "hosts:" line of nsswitch.conf, when the test sets one
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

struct Outcome {
    int status = -1;
    QByteArray errors, output;
};

class ScriptSendTest : public WindowsDirTest {
protected:
    QString dir;

    void SetUp() override {
        // As root in a network namespace of the test's own; as another user on loopback.
        enterOwnNetwork();
        dir = win.file("system");
        QDir().mkpath(dir);
        const QString program = dir + "/velinor";
        ASSERT_TRUE(QFile::copy(
            QString::fromLocal8Bit(qgetenv("TARV_BUILD_DIR")) + "/mailer/velinor", program));
        ASSERT_TRUE(QFile::link(program, dir + "/sendmail"));
    }

    void store(const QMap<QString, QString>& values) {
        ProgramSettings settings(&win.registry);
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.Scrivi_Impostazione(it.key(), it.value());
    }

    Outcome run(Launch l, int timeoutMs = 60000) {
        l.env.remove("QT_QPA_PLATFORM");
        l.env.remove("WAYLAND_DISPLAY");
        l.env.remove("DISPLAY");
        if (!l.display.isEmpty())
            l.env.insert("DISPLAY", l.display);
        QProcess p;
        p.setProcessEnvironment(l.env);
        const QString program = dir + "/" + l.name;
        if (l.hosts.isEmpty()) {
            p.start(program, l.args);
        } else {
            // A name service of the test's choosing, in a mount namespace of the program's own.
            const QString nss = win.write("nsswitch.conf", "hosts: " + l.hosts + "\n");
            p.start("unshare", QStringList{"--mount", "sh", "-c",
                                           "mount --bind \"$0\" /etc/nsswitch.conf || exit 90; "
                                           "exec \"$@\"",
                                           nss, program} +
                                   l.args);
        }
        p.write(l.input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(timeoutMs)) << "the program did not end";
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardError(), p.readAllStandardOutput()};
    }
};

TEST_F(ScriptSendTest, CommandLineSendArrivesIntactForEveryRecipient) {
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({}));
    store({{"SMTP", "127.0.0.1"}, {"Email", "mario@rossi.it"}});
    const QByteArray pdf("%PDF-1.4\n\0\xff\r\n.\r\n", 17);
    const QString attachment = win.write("fattura è.pdf", pdf);
    const Outcome o = run({.args = {"--to", "anna@bianchi.it", "--to", "bruno@verdi.it",
                                    "--subject", "Fattura n. 12 è pronta", "--attach", attachment,
                                    "--port", QString::number(sink.port())},
                           .input = "Buongiorno,\nla fattura è in allegato.\n.\nSaluti\n"});
    EXPECT_EQ(o.status, 0) << o.errors.constData();
    EXPECT_EQ(o.errors, "");
    ASSERT_EQ(sink.messageCount(), 2);
    for (int i = 1; i <= 2; ++i) {
        const QJsonObject m = sink.summary(i);
        EXPECT_EQ(m["rcpt_tos"].toArray(),
                  QJsonArray{i == 1 ? "anna@bianchi.it" : "bruno@verdi.it"});
        EXPECT_EQ(m["mail_from"].toString(), "mario@rossi.it");
        EXPECT_EQ(m["subject"].toString(), "Fattura n. 12 è pronta");
        EXPECT_EQ(m["body"].toString(),
                  "Buongiorno,\r\nla fattura è in allegato.\r\n.\r\nSaluti\r\n");
        const QJsonArray parts = m["attachments"].toArray();
        ASSERT_EQ(parts.size(), 1);
        EXPECT_EQ(parts[0].toObject()["filename"].toString(), "fattura è.pdf");
        EXPECT_EQ(QByteArray::fromBase64(parts[0].toObject()["data"].toString().toLatin1()), pdf);
        EXPECT_TRUE(m["defects"].toArray().isEmpty());
    }
}

TEST_F(ScriptSendTest, SendmailInterfaceDeliversToToCcAndBccWithoutTheBcc) {
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({}));
    store({{"SMTP", "127.0.0.1"},
           {"Email", "cron@server.it"},
           {"Porta", QString::number(sink.port())}});
    const QByteArray body = "Backup riuscito: 3 file, già verificati.\r\n.punto iniziale\r\n";
    const QByteArray message = "From: Cron <cron@server.it>\n"
                               "To: \"Rossi, Anna\" <anna@bianchi.it>\n"
                               "Cc: bruno@verdi.it (Bruno)\n"
                               "Bcc: carla@neri.it\n"
                               "Subject: backup\n"
                               "\n" +
                               QByteArray(body).replace("\r\n", "\n");
    // As cron runs it: a link named sendmail, cron's options, a display that is gone; the
    // argument is also in To, and gets one message.
    const Outcome o = run({.args = {"-FCronDaemon", "-i", "-B8BITMIME", "-oem", "anna@bianchi.it"},
                           .input = message,
                           .display = staleDisplay(),
                           .name = "sendmail"});
    EXPECT_EQ(o.status, 0) << o.errors.constData();
    ASSERT_EQ(sink.messageCount(), 3);
    QStringList delivered;
    for (int i = 1; i <= 3; ++i) {
        const QJsonObject m = sink.summary(i);
        delivered << m["rcpt_tos"].toArray()[0].toString();
        const QByteArray raw = sink.raw(i);
        EXPECT_FALSE(raw.contains("Bcc") || raw.contains("carla")) << raw.constData();
        EXPECT_TRUE(raw.startsWith("From: Cron <cron@server.it>\r\nTo: \"Rossi, Anna\" "
                                   "<anna@bianchi.it>\r\nCc: bruno@verdi.it (Bruno)\r\n"
                                   "Subject: backup\r\nDate: "))
            << raw.constData();
        EXPECT_TRUE(m["date_valid"].toBool());
        EXPECT_TRUE(m["message_id"].toString().endsWith("@server.it>"));
        EXPECT_TRUE(raw.endsWith("\r\n\r\n" + body)) << raw.constData(); // 8-bit, through 8BITMIME
    }
    EXPECT_EQ(delivered, QStringList({"anna@bianchi.it", "bruno@verdi.it", "carla@neri.it"}));
}

TEST_F(ScriptSendTest, EveryOutcomeHasItsStatus) {
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({"--refuse", "rifiutato@bianchi.it", "550 5.1.1 utente sconosciuto",
                                "--refuse", "occupato@bianchi.it", "450 4.2.1 casella occupata"}));
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString closedPort = QString::number(closed.serverPort());
    closed.close();
    const QString good = "anna@bianchi.it";
    const QString unexpected = "The Server responds with an unexpected Response Code! Il server "
                               "ha risposto: ";
    const struct {
        const char* name;
        QStringList args;
        bool settings;
        int status;
        QStringList said; // lines of standard error, or a part of standard output
        int delivered;
    } cases[] = {
        {"a refused recipient, another served",
         {"--to", good, "--to", "rifiutato@bianchi.it"},
         true,
         69,
         {"velinor: rifiutato@bianchi.it: " + unexpected + "550 5.1.1 utente sconosciuto",
          "velinor: spedito a: anna@bianchi.it; non spedito a: rifiutato@bianchi.it"},
         1},
        {"a busy mailbox",
         {"--to", "occupato@bianchi.it"},
         true,
         75,
         {"velinor: occupato@bianchi.it: " + unexpected + "450 4.2.1 casella occupata"},
         0},
        {"a permanent refusal is worse than a temporary one",
         {"--to", "occupato@bianchi.it", "--to", "rifiutato@bianchi.it"},
         true,
         69,
         {},
         0},
        {"a connection refused", {"--to", good, "--port", closedPort}, true, 75, {}, 0},
        {"a missing attachment",
         {"--to", good, "--attach", "/nessuna/fattura.pdf"},
         true,
         66,
         {"velinor: allegato mancante o illeggibile: /nessuna/fattura.pdf"},
         0},
        {"a malformed address",
         {"--to", "anna.bianchi.it"},
         true,
         65,
         {"velinor: indirizzo del destinatario non valido: \"anna.bianchi.it\"."},
         0},
        {"a wrong option",
         {"--to", good, "--allega", "x"},
         true,
         64,
         {"velinor: opzione sconosciuta: --allega (velinor --help elenca le opzioni)."},
         0},
        {"a missing value",
         {"--subject"},
         true,
         64,
         {"velinor: manca il valore dell'opzione --subject."},
         0},
        {"no recipient", {"--subject", "x"}, true, 64, {}, 0},
        {"missing settings", {"--to", good}, false, 78, {}, 0},
        {"help", {"--help"}, false, 0, {"  --attach FILE       allegato (ripetibile)"}, 0},
        {"version", {"--version"}, false, 0, {"velinor " TARV_VERSION}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.settings)
            store({{"SMTP", "127.0.0.1"},
                   {"Email", "mario@rossi.it"},
                   {"Porta", QString::number(sink.port())}});
        else
            store({{"SMTP", ""}, {"Email", ""}});
        const int before = sink.messageCount();
        const Outcome o = run({.args = c.args});
        EXPECT_EQ(o.status, c.status) << o.errors.constData();
        EXPECT_EQ(sink.messageCount() - before, c.delivered);
        const QStringList lines = QString::fromUtf8(c.status ? o.errors : o.output).split('\n');
        for (const QString& s : c.said)
            EXPECT_TRUE(lines.contains(s)) << (c.status ? o.errors : o.output).constData();
        if (c.status == 64)
            EXPECT_EQ(o.errors.count('\n'), 1) << o.errors.constData();
        if (c.status != 0)
            EXPECT_FALSE(o.errors.isEmpty());
    }
}

// A server name that does not exist, and one that cannot be looked up: the name service is the
// test's own (nsswitch.conf bound over in a mount namespace), with no name server reachable.
TEST_F(ScriptSendTest, ServerNamesThatCannotBeResolved) {
    if (!enterOwnNetwork())
        GTEST_SKIP() << "needs root: a network and a mount namespace of the test's own";
    store({{"SMTP", "nessuno.invalid"}, {"Email", "mario@rossi.it"}});
    for (const auto& [hosts, status] : {std::pair{"files", 68}, std::pair{"dns", 75}}) {
        SCOPED_TRACE(hosts);
        const Outcome o = run({.args = {"--to", "anna@bianchi.it"}, .hosts = hosts});
        if (o.status == 90)
            GTEST_SKIP() << "cannot mount a name service of the test's own here";
        EXPECT_EQ(o.status, status) << o.errors.constData();
        EXPECT_EQ(o.errors, "velinor: anna@bianchi.it: Host Sconosciuto: nessuno.invalid\n");
    }
}

// The dialogue on standard error and in the "Registro" file, over STARTTLS with a login: every
// line in order, and neither the password nor a login token.
TEST_F(ScriptSendTest, VerboseShowsTheDialogueWithTheLoginMasked) {
    TestAuthority authority("Velinor Prova CA");
    const auto [cert, key] = authority.serverCertificate("localhost");
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({"--starttls", cert, key, "--login", "mario:Segreta!9"}));
    const QString registro = win.file("velinor.log");
    store({{"SMTP", "localhost"},
           {"Email", "mario@rossi.it"},
           {"Porta", QString::number(sink.port())},
           {"Sicurezza", "STARTTLS"},
           {"Utente", "mario"},
           {"Registro", registro}});
    Launch l;
    l.env.insert("SSL_CERT_FILE", authority.certificate());
    l.env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    l.args = {"--salva-password"};
    l.input = "Segreta!9\n";
    ASSERT_EQ(run(l).status, 0);
    l.args = {"--to", "anna@bianchi.it", "--verbose"};
    l.input = "x";
    const Outcome o = run(l);
    EXPECT_EQ(o.status, 0) << o.errors.constData();
    EXPECT_EQ(sink.messageCount(), 1);
    const QStringList expected = {
        "* connesso a localhost porta " + QString::number(sink.port()) +
            ", destinatario anna@bianchi.it",
        "S: 220 ",
        "C: EHLO rossi.it",
        "S: 250-",
        "C: STARTTLS",
        "S: 220 ",
        "* connessione cifrata (TLS), certificato di localhost verificato",
        "C: EHLO rossi.it",
        "C: AUTH PLAIN ****",
        "S: 235 ",
        "C: MAIL FROM: <mario@rossi.it>",
        "S: 250 ",
        "C: RCPT TO:<anna@bianchi.it>",
        "C: DATA",
        "S: 354 ",
        "* messaggio di ",
        "S: 250 Message accepted",
        "C: QUIT",
        "S: 221 ",
        "* spedito a anna@bianchi.it"};
    const QByteArray file = TestWindowsDir::read(registro);
    for (const QByteArray& text : {o.errors, file}) {
        qsizetype at = 0;
        for (const QString& line : expected) {
            const qsizetype found = text.indexOf(line.toUtf8(), at);
            EXPECT_GE(found, 0) << line.toStdString() << "\n" << text.constData();
            at = found < 0 ? at : found;
        }
        const QByteArray token = QByteArray("\0mario\0Segreta!9", 16).toBase64();
        EXPECT_FALSE(text.contains("Segreta") || text.contains(token) ||
                     text.contains(QByteArray("Segreta!9").toBase64()));
    }
    EXPECT_FALSE(o.errors.contains(QDate::currentDate().toString(Qt::ISODate).toUtf8()));
    EXPECT_TRUE(file.startsWith(QDate::currentDate().toString(Qt::ISODate).toUtf8())); // stamped
    EXPECT_EQ(QFile::permissions(registro) & (QFile::ReadOther | QFile::ReadGroup), 0);

    // A Registro that is no file to append to (here a FIFO no one reads) holds nothing up.
    const QString fifo = win.file("registro.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    store({{"Registro", fifo}});
    l.args = {"--to", "anna@bianchi.it"};
    const Outcome unlogged = run(l, 60000);
    EXPECT_EQ(unlogged.status, 0) << unlogged.errors.constData();
    EXPECT_TRUE(
        unlogged.errors.startsWith("velinor: impossibile scrivere il registro " + fifo.toUtf8()))
        << unlogged.errors.constData();
    EXPECT_EQ(sink.messageCount(), 2);
}

// A hand-off with no display: unattended it sends and ends with its status; otherwise it ends
// at once with one line.
TEST_F(ScriptSendTest, HandOffWithNoDisplay) {
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({"--refuse", "rifiutato@bianchi.it", "550 5.1.1 sconosciuto"}));
    const struct {
        QByteArray display, dest, nascosto, esci;
        int status;
        int delivered;
        bool handOffKept;
        QByteArray said;
    } cases[] = {
        {"", "anna@bianchi.it; bruno@verdi.it", "True", "True", 0, 2, false, ""},
        {staleDisplay(), "anna@bianchi.it", "True", "True", 0, 1, false, ""},
        {"", "anna@bianchi.it; rifiutato@bianchi.it; bruno@verdi.it", "True", "True", 69, 1, true,
         "velinor: spedito a: anna@bianchi.it; non spedito a: rifiutato@bianchi.it, "
         "bruno@verdi.it\n"},
        {staleDisplay(), "anna@bianchi.it", "True", "", 1, 0, true,
         "velinor: nessuno schermo disponibile (DISPLAY o WAYLAND_DISPLAY): la finestra non può "
         "essere mostrata.\n"},
        {"", "anna@bianchi.it", "", "", 1, 0, true, "nessuno schermo disponibile"},
    };
    store({{"SMTP", "127.0.0.1"},
           {"Email", "mario@rossi.it"},
           {"Porta", QString::number(sink.port())},
           {"PausaAllegati", "0"}});
    const QString handOff = dir + "/Default.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest.toStdString() + " Esci=" + c.esci.toStdString());
        win.write("system/Default.ini", "[Dati]\nDest=" + c.dest +
                                            "\nSubject=Fattura\nTesto=x\n"
                                            "Nascosto=" +
                                            c.nascosto + "\nEsci=" + c.esci + "\n");
        QFile::setPermissions(handOff, QFile::ReadOwner | QFile::WriteOwner);
        const int before = sink.messageCount();
        const Outcome o = run({.display = c.display}, 60000);
        EXPECT_EQ(o.status, c.status) << o.errors.constData();
        EXPECT_EQ(sink.messageCount() - before, c.delivered);
        EXPECT_EQ(QFile::exists(handOff), c.handOffKept);
        EXPECT_TRUE(o.errors.contains(c.said)) << o.errors.constData();
        if (c.status == 1)
            EXPECT_EQ(o.errors.count('\n'), 1);
    }
}

// "--salva-password" takes one line only, and Ctrl-C at its prompt gives the terminal its echo
// back.
TEST_F(ScriptSendTest, SavePasswordTakesOneLineAndRestoresTheTerminal) {
    store({{"SMTP", "localhost"}, {"Utente", "mario"}});
    Launch l{.args = {"--salva-password"}, .input = "segreta\naltra\n"};
    l.env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    const Outcome two = run(l);
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.errors, "velinor: la password va data su una riga sola: non è stato salvato "
                          "nulla.\n");
    QString error;
    EXPECT_FALSE(PasswordStore(&win.registry).password("localhost", "mario", &error).has_value());

    // On a terminal of its own (a pseudo-terminal), interrupted at the prompt.
    const char* const interrupt = R"py(
import os, pty, sys, termios, time
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], "--salva-password"])
seen = b""
while b"Password di" not in seen:
    seen += os.read(fd, 1024)
time.sleep(0.2)
os.write(fd, b"\x03")
_, status = os.waitpid(pid, 0)
echo = termios.tcgetattr(fd)[3] & termios.ECHO
print("signal" if os.WIFSIGNALED(status) else "exit", "echo" if echo else "noecho")
)py";
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    p.setProcessEnvironment(env);
    p.start("/usr/bin/python3", {"-c", interrupt, dir + "/velinor"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput(), "signal echo\n") << p.readAllStandardError().constData();
}

} // namespace
