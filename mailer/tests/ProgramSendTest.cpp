// The program itself, started as another program would start it after dropping a hand-off
// file beside it: the message goes out with nobody at the keyboard and the program ends.
#include "ProgramSettings.h"
#include "SendTestSupport.h"

#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

// How a test starts the program: `script` runs in its place when given, with the program as
// $1; `input` is its standard input.
struct Launch {
    QByteArray script;
    QByteArray input;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString platform = "offscreen";
    QString display;
};

class ProgramSendTest : public WindowsDirTest {
protected:
    QString program;
    QString handOff;

    void SetUp() override {
        if (!enterOwnNetwork())
            GTEST_SKIP() << "needs root: the program sends to port 25 and runs under a host "
                            "name of its own, which a network namespace of the test's own offers";
        QDir().mkpath(win.file("system"));
        program = win.file("system/velinor");
        ASSERT_TRUE(QFile::copy(
            QString::fromLocal8Bit(qgetenv("TARV_BUILD_DIR")) + "/mailer/velinor", program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        handOff = win.file("system/Default.ini");
    }

    void store(const QString& server) {
        ProgramSettings settings(&win.registry);
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("SMTP", server);
        settings.Scrivi_Impostazione("Email", "mario@rossi.it");
        settings.Scrivi_Impostazione("PausaAllegati", "0");
    }

    struct Outcome {
        int exitCode = -1;
        QByteArray errors;
        QByteArray output;
    };
    // Starts the program under a host name that resolves to no address, so that the machine
    // counts as on line and no question waits for an answer.
    void start(QProcess& p, Launch l = {}) {
        l.env.insert("QT_QPA_PLATFORM", l.platform);
        if (!l.display.isEmpty())
            l.env.insert("DISPLAY", l.display);
        p.setProcessEnvironment(l.env);
        if (l.script.isEmpty())
            p.start("unshare",
                    {"--uts", "sh", "-c", "hostname velinor-e2e.invalid && exec \"$0\"", program});
        else
            p.start("unshare", {"--uts", "sh", win.write("run.sh", l.script), program});
        p.write(l.input);
        p.closeWriteChannel();
    }
    static Outcome outcome(QProcess& p, int timeoutMs) {
        EXPECT_TRUE(p.waitForFinished(timeoutMs)) << "the program did not end";
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardError(), p.readAllStandardOutput()};
    }

    // The settings of a provider's server with a login, and a message to send unattended.
    void storeSubmission(quint16 port, const QString& security) {
        store("localhost");
        ProgramSettings settings(&win.registry);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("Porta", QString::number(port));
        settings.Scrivi_Impostazione("Sicurezza", security);
        settings.Scrivi_Impostazione("Utente", "mario");
        win.write("system/Default.ini", "[Dati]\nDest=anna@bianchi.it\nSubject=Fattura\nTesto=x\n"
                                        "Nascosto=True\nEsci=True\n");
    }
    QByteArray exported(const QString& key) {
        QProcess p;
        const QString file = win.file("export.reg");
        p.start(QString::fromLocal8Bit(qgetenv("TARV_BUILD_DIR")) + "/tools/tarv-reg",
                {"export", key, file});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        return TestWindowsDir::read(file);
    }
    Outcome run(Launch l = {}, int timeoutMs = 60000) {
        QProcess p;
        start(p, std::move(l));
        return outcome(p, timeoutMs);
    }
    void handOffFile(const QByteArray& dest, const QByteArray& esci) {
        win.write("system/Default.ini",
                  "[Dati]\nDest=" + dest +
                      "\nSubject=Fattura\nTesto=x\nNascosto=True\nEsci=" + esci + "\n");
        QFile::setPermissions(handOff, QFile::ReadOwner | QFile::WriteOwner);
    }
};

TEST_F(ProgramSendTest, UnattendedSendFromTheHandOffFile) {
    SinkServer sink;
    ASSERT_TRUE(sink.start()) << sink.error().toStdString();
    ASSERT_EQ(sink.port(), 25);
    store("127.0.0.1");
    const QString attachment = win.write("fattura.pdf", QByteArray("%PDF-1.4\n\0\xff", 12));
    win.write("system/Default.ini",
              "[Dati]\r\nDest=anna@bianchi.it; bruno@verdi.it\r\nSubject=Fattura\r\n"
              "Testo=In allegato la fattura.\r\nAllegato=" +
                  attachment.toUtf8() + "\r\nNascosto=True\r\nEsci=True\r\n");
    QFile::setPermissions(handOff, QFile::ReadOwner | QFile::WriteOwner);

    const Outcome o = run();
    EXPECT_EQ(o.exitCode, 0) << o.errors.constData();
    EXPECT_FALSE(QFile::exists(handOff));
    ASSERT_EQ(sink.messageCount(), 2);
    const QStringList to = {"anna@bianchi.it", "bruno@verdi.it"};
    for (int i = 1; i <= 2; ++i) {
        const QJsonObject m = sink.summary(i);
        EXPECT_EQ(m["rcpt_tos"].toArray(), QJsonArray{to[i - 1]});
        EXPECT_EQ(m["subject"].toString(), "Fattura");
        const QJsonArray parts = m["attachments"].toArray();
        ASSERT_EQ(parts.size(), 1);
        EXPECT_EQ(QByteArray::fromBase64(parts[0].toObject()["data"].toString().toLatin1()),
                  QByteArray("%PDF-1.4\n\0\xff", 12));
    }
}

TEST_F(ProgramSendTest, FailedUnattendedSendTellsTheCaller) {
    store("no-such-host.invalid");
    win.write("system/Default.ini",
              "[Dati]\nDest=anna@bianchi.it\nSubject=Fattura\nTesto=x\nNascosto=True\nEsci=True\n");
    QFile::setPermissions(handOff, QFile::ReadOwner | QFile::WriteOwner);
    const Outcome o = run();
    EXPECT_NE(o.exitCode, 0);
    EXPECT_TRUE(o.errors.contains("Host Sconosciuto: no-such-host.invalid"))
        << o.errors.constData();
    EXPECT_TRUE(QFile::exists(handOff)); // kept for the next try
}

TEST_F(ProgramSendTest, RefusedRecipientsEndAnUnattendedRun) {
    SinkServer sink;
    ASSERT_TRUE(sink.start()) << sink.error().toStdString();
    store("127.0.0.1");
    for (const QByteArray dest :
         {QByteArray("anna.bianchi.it"), QByteArray("anna@bianchi.it\x07")}) {
        SCOPED_TRACE(dest.constData());
        handOffFile(dest, "True");
        // Nobody can answer a box: the run must end by itself, well within this time.
        const Outcome o = run({}, 60000);
        EXPECT_EQ(o.exitCode, 65); // EX_DATAERR
        EXPECT_TRUE(o.errors.contains("L'indirizzo del destinatario non")) << o.errors.constData();
        EXPECT_TRUE(QFile::exists(handOff));
    }
    EXPECT_EQ(sink.messageCount(), 0);
}

// Closes a window through the X server, as a window manager's close box does. The test's X
// server listens only on its abstract socket, private to the test's network namespace, and
// the closer goes there: python-xlib would take /tmp/.X11-unix/X<n> whenever that path
// exists, and there it may meet another test's X server with another Velinor window.
const char* const kCloseWindow = R"py(
import socket, sys, time
from Xlib import X, display, protocol
from Xlib.support import unix_connect
def abstract_socket(name, protocol, host, number):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect("\0/tmp/.X11-unix/X%d" % number)
    return s
unix_connect.get_socket = abstract_socket
d = display.Display()
def find(w):
    if w.get_wm_name() == sys.argv[1]:
        return w
    for c in w.query_tree().children:
        found = find(c)
        if found:
            return found
for _ in range(200):
    w = find(d.screen().root)
    if w:
        break
    time.sleep(0.05)
else:
    sys.exit("no window " + sys.argv[1])
protocols, delete = d.intern_atom("WM_PROTOCOLS"), d.intern_atom("WM_DELETE_WINDOW")
w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()
)py";

TEST_F(ProgramSendTest, ClosingTheWindowDuringTheAutomaticSendEndsTheProgram) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "needs Xvfb (package xvfb)";
    // A server that takes the connection and never greets: the send waits, events running.
    store("127.0.0.1");
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 25));
    for (const QByteArray esci : {QByteArray(""), QByteArray("True")}) {
        SCOPED_TRACE("Esci=" + esci.toStdString());
        // An X server of the case's own, where the program is the first and only client, as
        // under xvfb-run: it ends when its last client leaves, so the program's start must
        // never leave it without one. It picks a free display and tells which, and is reached
        // only through its abstract socket (see kCloseWindow).
        QProcess xserver;
        xserver.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-nolisten", "unix",
                               "-terminate", "-screen", "0", "1024x768x24"});
        ASSERT_TRUE(xserver.waitForReadyRead(60000)) << xserver.readAllStandardError().constData();
        const QString display = ":" + QString::fromLatin1(xserver.readLine().trimmed());

        handOffFile("anna@bianchi.it", esci);
        QProcess velinor;
        start(velinor, {.platform = "xcb", .display = display});
        ASSERT_TRUE(silent.waitForNewConnection(60000))
            << velinor.readAllStandardError().constData();
        const std::unique_ptr<QTcpSocket> held(silent.nextPendingConnection());
        QProcess closer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        closer.setProcessEnvironment(env);
        closer.start("/usr/bin/python3", {"-c", kCloseWindow, "Velinor v.1.2"});
        ASSERT_TRUE(closer.waitForFinished(60000));
        ASSERT_EQ(closer.exitCode(), 0) << closer.readAllStandardError().constData();

        const Outcome o = outcome(velinor, 60000);
        if (esci == "True") {
            EXPECT_EQ(o.exitCode, 75); // EX_TEMPFAIL: a retry may cure
            EXPECT_TRUE(o.errors.contains("messaggio non spedito")) << o.errors.constData();
        } else {
            EXPECT_EQ(o.exitCode, 0) << o.errors.constData();
        }
        EXPECT_TRUE(QFile::exists(handOff));
        EXPECT_TRUE(xserver.waitForFinished(60000)); // its clients gone, it ended
    }
}

} // namespace

// The compose window drives its session: the button, the echo box, the status, percentage and
// progress frame.
#include "Iniziale.h"
#include "SmtpSession.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class WindowSendTest : public WindowsDirTest {
protected:
    ProgramSettings settings{&win.registry};
    ScriptedServer server;
    std::unique_ptr<Iniziale> w;
    int ends = -1;

    void SetUp() override {
        win.pump.hook = [] { QCoreApplication::processEvents(); };
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("PausaAllegati", "0");
        w = std::make_unique<Iniziale>(settings);
        w->setHandOffPath(win.file("system/Default.ini"));
        w->endProcess = [this](int status) { ends = status; };
        w->session().setPort(server.port());
        w->session().setConnectivityTest([] { return true; });
        w->MailServer->setText("127.0.0.1");
        w->FromBox->setText("mario@rossi.it");
        w->Tobox->setText("anna@bianchi.it");
        w->Subjekt->setText("Prova");
        w->Mailtxt->setPlainText("Testo");
        w->show();
    }
};

TEST_F(WindowSendTest, SpedisciSendsAndShowsTheOutcome) {
    win.boxes.answer(MsgAnswer::Yes); // leave the program
    w->SendMimeConnect->click();
    EXPECT_EQ(server.messages.size(), 1);
    EXPECT_EQ(w->Process->text(), "La e-mail è stata spedita correttamente!");
    EXPECT_EQ(w->lblpcent->text(), "100%");
    EXPECT_EQ(w->frm2->width(), 4740 / 15);
    EXPECT_TRUE(w->DataArrival->toPlainText().isEmpty()); // cleared at the end
    EXPECT_TRUE(w->SendMimeConnect->isEnabled());
    EXPECT_EQ(ends, 0);
}

TEST_F(WindowSendTest, ProgressFrameAndPercentageFollowTheSend) {
    const QString file = win.write("listino.bin", QByteArray(100 * 1024, 'x'));
    w->addAttachment(file);
    // What the window shows, read every time the send lets events run.
    std::vector<std::pair<int, QString>> seen;
    win.pump.hook = [&] {
        const std::pair<int, QString> now{w->frm2->width(), w->lblpcent->text()};
        if (seen.empty() || seen.back() != now)
            seen.push_back(now);
        QCoreApplication::processEvents();
    };
    win.boxes.answer(MsgAnswer::No); // stay in the program
    w->SendMimeConnect->click();
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_EQ(w->lblpcent->text(), "100%");
    EXPECT_EQ(w->frm2->width(), 316);

    // The file is read into the first half of the bar and sent in the second, piece by piece.
    bool reading = false, sending = false;
    int last = -1;
    for (const auto& [width, text] : seen) {
        ASSERT_TRUE(text.endsWith('%')) << text.toStdString();
        const int percent = text.chopped(1).toInt();
        // The percentage is the whole part of the share the frame shows.
        EXPECT_GE(width, percent * 316 / 100.0 - 1) << text.toStdString();
        EXPECT_LE(width, (percent + 1) * 316 / 100.0 + 1) << text.toStdString();
        reading |= percent > 0 && percent < 50;
        sending |= percent > 50 && percent < 100;
        if (percent < 50)
            last = -1;          // the text, or the reading of the file: a phase of its own
        EXPECT_GE(width, last); // within the sending of the file the bar only grows
        last = percent >= 50 ? width : -1;
    }
    EXPECT_TRUE(reading);
    EXPECT_TRUE(sending);
    EXPECT_GE(seen.size(), 10u);
}

TEST_F(WindowSendTest, ClosingTheWindowMidSendDropsTheConnection) {
    server.script["DATA"] = {ScriptedServer::Act::Silence, {}};
    win.clock.step = 1000; // a wait left running would give up within a few hundred pumps
    win.pump.hook = [&] {
        QCoreApplication::processEvents();
        if (server.commands.contains("DATA") && w->isVisible())
            w->close(); // the user closes the window while the reply is awaited
    };
    w->SendMimeConnect->click();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(server.clientClosed);
    EXPECT_TRUE(server.messages.isEmpty());
    EXPECT_TRUE(win.boxes.shown.empty()); // no completion question behind a closed window
    EXPECT_FALSE(w->Process->text().startsWith("Nessuna risposta"))
        << w->Process->text().toStdString();
    EXPECT_EQ(ends, -1);
}

TEST_F(WindowSendTest, RefusedRecipientLeavesTheRepliesInTheEchoBox) {
    server.script["RCPT"] = {ScriptedServer::Act::Reply, "550 5.1.1 utente sconosciuto\r\n"};
    w->SendMimeConnect->click();
    EXPECT_EQ(w->Process->text(), "The Server responds with an unexpected Response Code! Il server "
                                  "ha risposto: 550 5.1.1 utente sconosciuto");
    EXPECT_TRUE(w->DataArrival->toPlainText().startsWith("220 fake.test ESMTP ready"));
    EXPECT_TRUE(w->DataArrival->toPlainText().endsWith("550 5.1.1 utente sconosciuto\n"));
    EXPECT_TRUE(w->SendMimeConnect->isEnabled());
    EXPECT_EQ(ends, -1);
    if (!qEnvironmentVariableIsEmpty("TARV_GRAB_DIR"))
        w->grab().save(qEnvironmentVariable("TARV_GRAB_DIR") + "/velinor-refused.png");
}

// A provider's server: the password saved by a script through --salva-password, then the
// message sent with nobody at the keyboard, over STARTTLS and over TLS; a refused password
// ends the run with an error for the caller.
TEST_F(ProgramSendTest, UnattendedSubmissionWithALogin) {
    TestAuthority authority("Velinor Prova CA");
    const auto [cert, key] = authority.serverCertificate("localhost");
    ASSERT_FALSE(cert.isEmpty());
    ScopedEnv trust{"SSL_CERT_FILE", QFile::encodeName(authority.certificate())};
    ScopedEnv noKeyring{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"};
    const struct {
        const char* security;
        const char* option;
        QByteArray typed;
        int exitCode;
        int delivered;
    } cases[] = {
        {"STARTTLS", "--starttls", "segreta\n", 0, 1},
        {"TLS", "--tls", "segreta", 0, 1},
        {"STARTTLS", "--starttls", "sbagliata\r\n", 77, 0}, // EX_NOPERM
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        SinkServer sink;
        ASSERT_TRUE(sink.startWith({c.option, cert, key, "--login", "mario:segreta"}));
        storeSubmission(sink.port(), c.security);

        QProcess save;
        save.start(program, {"--salva-password"});
        save.write(c.typed);
        save.closeWriteChannel();
        ASSERT_TRUE(save.waitForFinished(60000));
        EXPECT_EQ(save.exitCode(), 0);
        const QByteArray said = save.readAllStandardOutput() + save.readAllStandardError();
        EXPECT_EQ(said, "Password di mario per localhost salvata nel registro personale "
                        "dell'utente, leggibile solo da lui.\n");

        const Outcome o = run();
        EXPECT_EQ(o.exitCode, c.exitCode) << o.errors.constData();
        EXPECT_EQ(sink.messageCount(), c.delivered);
        EXPECT_EQ(QFile::exists(handOff), c.exitCode != 0);
        if (c.exitCode != 0)
            EXPECT_TRUE(o.errors.contains("velinor: Nome utente o password rifiutati dal server "
                                          "(535): messaggio non spedito.\n"))
                << o.errors.constData();
        for (const QByteArray& seen :
             {o.errors, o.output, exported("HKCU\\Software\\Orvid\\Velinor"), exported("HKCU")})
            EXPECT_FALSE(seen.contains("segreta") || seen.contains("sbagliata"))
                << seen.constData();
    }
}

// gnome-keyring-daemon returns once it has forked, before its child has taken the keyring's
// name on the bus; a program asking right then finds no keyring. keyring_up OLD waits until
// the name is owned by a connection other than OLD (the daemon being replaced; "" for none).
const char* const kKeyringUp = R"(
keyring_up() {
    n=0
    while owner=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
                      /org/freedesktop/DBus org.freedesktop.DBus.GetNameOwner \
                      string:org.freedesktop.secrets 2>/dev/null | tr -d ' ')
          [ -z "$owner" ] || [ "$owner" = "$1" ]; do
        n=$((n + 1))
        [ $n -le 1200 ] || return 1
        sleep 0.05
    done
    echo "$owner"
}
)";

// With a desktop keyring running (gnome-keyring in a session bus of the test's own) the
// password goes there and nowhere else.
TEST_F(ProgramSendTest, PasswordInTheDesktopKeyring) {
    if (QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty() ||
        QStandardPaths::findExecutable("dbus-run-session").isEmpty())
        GTEST_SKIP() << "needs gnome-keyring and dbus-daemon";
    TestAuthority authority("Velinor Prova CA");
    const auto [cert, key] = authority.serverCertificate("localhost");
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({"--tls", cert, key, "--login", "mario:segreta"}));
    storeSubmission(sink.port(), "TLS");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SSL_CERT_FILE", authority.certificate());
    env.insert("HOME", win.file("home")); // the keyring's files, and no one else's
    env.insert("XDG_DATA_HOME", win.file("home/data"));
    env.insert("XDG_RUNTIME_DIR", win.file("home"));
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("KEYRING_UP", kKeyringUp);
    QDir().mkpath(win.file("home"));
    const Outcome o = run({.script = R"(hostname velinor-e2e.invalid || exit 90
exec dbus-run-session -- sh -c "$KEYRING_UP"'
printf prova | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 91
keyring_up "" >/dev/null || exit 98
"$0" --salva-password || exit 92
exec "$0"' "$1"
)",
                           .input = "segreta\n",
                           .env = env});
    EXPECT_EQ(o.exitCode, 0) << o.errors.constData();
    EXPECT_EQ(o.output, "Password di mario per localhost salvata nel portachiavi del desktop "
                        "(Secret Service).\n");
    EXPECT_EQ(sink.messageCount(), 1);
    QByteArray kept;
    EXPECT_EQ(win.registry.privateValue("Velinor\\Password\\localhost\\mario", &kept),
              RegStatus::NotFound);
}

} // namespace

namespace {

// Run by cron, with neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR, the program still
// finds the keyring on the user's bus at /run/user/<uid>/bus (a tmpfs of the test's own there,
// in a mount namespace); and a locked keyring is reported as locked, not as a missing password.
TEST_F(ProgramSendTest, KeyringFoundOutsideTheDesktopSessionAndLockedSaysSo) {
    if (QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty() ||
        QStandardPaths::findExecutable("dbus-send").isEmpty())
        GTEST_SKIP() << "needs gnome-keyring and dbus-daemon";
    TestAuthority authority("Velinor Prova CA");
    const auto [cert, key] = authority.serverCertificate("localhost");
    SinkServer sink;
    ASSERT_TRUE(sink.startWith({"--tls", cert, key, "--login", "mario:segreta"}));
    storeSubmission(sink.port(), "TLS");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SSL_CERT_FILE", authority.certificate());
    env.insert("HOME", win.file("home"));
    env.insert("XDG_DATA_HOME", win.file("home/data"));
    for (const char* name :
         {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    env.insert("KEYRING_UP", kKeyringUp);
    QDir().mkpath(win.file("home"));
    // Saved in the desktop session; sent as cron would, first with the keyring locked (the
    // run fails and keeps the hand-off file), then unlocked again.
    const Outcome o = run({.script = R"(hostname velinor-e2e.invalid || exit 90
exec unshare --mount --propagation private sh -c "$KEYRING_UP"'
mount -t tmpfs -o mode=755 tmpfs /run/user || exit 93
mkdir -m 700 /run/user/$(id -u)
bus=unix:path=/run/user/$(id -u)/bus
pid=$(dbus-daemon --session --address=$bus --fork --print-pid) || exit 94
trap "kill $pid" EXIT
unlock() (
    export DBUS_SESSION_BUS_ADDRESS=$bus
    printf prova | gnome-keyring-daemon --replace --unlock --components=secrets >/dev/null &&
        keyring_up "$1"
)
first=$(unlock "") || exit 91
DBUS_SESSION_BUS_ADDRESS=$bus "$0" --salva-password || exit 92
DBUS_SESSION_BUS_ADDRESS=$bus dbus-send --session --dest=org.freedesktop.secrets \
    --type=method_call --print-reply /org/freedesktop/secrets \
    org.freedesktop.Secret.Service.Lock \
    array:objpath:/org/freedesktop/secrets/collection/login >/dev/null || exit 95
"$0" && exit 96
unlock "$first" >/dev/null || exit 97
"$0"' "$1"
)",
                           .input = "segreta\n",
                           .env = env});
    EXPECT_EQ(o.exitCode, 0) << o.errors.constData();
    EXPECT_TRUE(o.output.contains("salvata nel portachiavi del desktop")) << o.output.constData();
    EXPECT_TRUE(o.errors.contains("velinor: Impossibile leggere la password: il portachiavi del "
                                  "desktop è bloccato"))
        << o.errors.constData();
    EXPECT_EQ(sink.messageCount(), 1);
}

} // namespace
