// The hand-off as a user meets it: tarv-call asks the registered library to hand a file to
// the mailer; the installed velinor starts, sends to a real SMTP server and ends.
#include "ProgramSettings.h"
#include "SendTestSupport.h"
#include "TestWindowsDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/wait.h>

using namespace tarv;

namespace {

// Waits for the program this process adopted (a detached start leaves its program to the
// nearest subreaper, which the test makes itself) to end; its exit status, or -1.
int waitForAdopted(const QByteArray& name, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    int seen = -1;
    while (timer.elapsed() < timeoutMs) {
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + pid + "/stat"); // pid (comm) state ppid ...
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray s = stat.readAll();
            if (!s.contains(" (" + name + ") ") ||
                s.mid(s.lastIndexOf(')') + 2).split(' ').value(1).toInt() != getpid())
                continue;
            int status = 0;
            seen = pid.toInt();
            if (waitpid(seen, &status, WNOHANG) == seen)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        QThread::msleep(50);
    }
    if (seen > 0) { // still running: a failure that must not outlive the test
        kill(seen, SIGKILL);
        waitpid(seen, nullptr, 0);
    }
    return -1;
}

class HandOffEndToEndTest : public WindowsDirTest {
protected:
    QProcessEnvironment env;
    SinkServer sink;

    // The server: port 25 in a network namespace of the test's own when it may make one (as
    // root), else a free port that the stored settings name.
    void SetUp() override {
        ASSERT_TRUE(sink.start()) << sink.error().toStdString();
        env = QProcessEnvironment::systemEnvironment();
        env.insert("TARV_WINDIR", win.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LC_ALL", "C.UTF-8");
        ASSERT_EQ(run(TARV_REGSVR, {TARV_UTILITY_LIB}).first, 0);
        // The installed mailer, with its server and sender stored.
        QDir().mkpath(win.file("system"));
        ASSERT_TRUE(QFile::copy(TARV_VELINOR, win.file("system/velinor")));
        QFile::setPermissions(win.file("system/velinor"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ProgramSettings settings(&win.registry);
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("SMTP", "127.0.0.1");
        settings.Scrivi_Impostazione("Email", "ufficio@tarv.it");
        settings.Scrivi_Impostazione("PausaAllegati", "0");
        if (sink.port() != 25)
            settings.Scrivi_Impostazione("Porta", QString::number(sink.port()));
    }

    // Runs a tool; as root, under a host name that resolves to no address, so that the machine
    // counts as on line (as the mailer's own program test does).
    std::pair<int, QString> run(const QString& program, const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(env);
        if (geteuid() == 0)
            p.start("unshare",
                    QStringList{"--uts", "sh", "-c",
                                "hostname tarv-e2e.invalid && exec \"$0\" \"$@\"", program} +
                        args);
        else
            p.start(program, args);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardError())};
    }

    // The host asks for an unattended send as the README shows: SetVar of Nascosto and Esci,
    // then Invia_File.
    std::pair<int, QString> handOff(const QString& attachment, const QString& dest,
                                    const QString& subject, const QString& text) {
        const QString ini = win.file("system/Default.ini");
        auto result = run(TARV_CALL, {"TarvUtility.ShellMan",
                                      "SetVar(\"" + ini + "\", \"Dati\", \"Nascosto\", \"True\")",
                                      "SetVar(\"" + ini + "\", \"Dati\", \"Esci\", \"True\")"});
        if (result.first != 0)
            return result;
        return run(TARV_CALL,
                   {"TarvUtility.Altro", "Invia_File(\"" + attachment + "\", \"" + dest + "\", \"" +
                                             subject + "\", \"" + text + "\")"});
    }

    void storePort(quint16 port) {
        ProgramSettings settings(&win.registry);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("Porta", port == 25 ? QString() : QString::number(port));
    }
};

TEST_F(HandOffEndToEndTest, InviaFileFromTheShellReachesTheServerWhole) {
    const QByteArray pdf("%PDF-1.4\n\0\xff\x01 fattura", 20);
    const QString attachment = win.write("doc/fattura.pdf", pdf);
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    const auto [status, err] =
        handOff(attachment, "cliente@esempio.it", "Fattura 12", "Riga uno\\nRiga due");
    ASSERT_EQ(status, 0) << err.toStdString();

    EXPECT_EQ(waitForAdopted("velinor", 60000), 0);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_EQ(sink.messageCount(), 1);
    const QJsonObject m = sink.summary(1);
    EXPECT_EQ(m["rcpt_tos"].toArray(), QJsonArray{"cliente@esempio.it"});
    EXPECT_EQ(m["subject"].toString(), "Fattura 12");
    EXPECT_TRUE(m["body"].toString().startsWith("Riga uno\r\nRiga due\r\n") ||
                m["body"].toString() == "Riga uno\r\nRiga due")
        << m["body"].toString().toStdString();
    const QJsonArray parts = m["attachments"].toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].toObject()["filename"].toString(), "fattura.pdf");
    EXPECT_EQ(QByteArray::fromBase64(parts[0].toObject()["data"].toString().toLatin1()), pdf);
}

// Three hand-offs one after another, each as the README shows, from a session with no display
// at all (as from cron): none is lost, none is sent twice, and each goes to its own recipient.
TEST_F(HandOffEndToEndTest, UnattendedHandOffsInARowAllArrive) {
    for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(display);
    const QString attachment = win.write("doc/nota.txt", "allegato");
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (int i = 1; i <= 3; ++i) {
        const auto [status, err] = handOff(attachment, QString("cliente%1@esempio.it").arg(i),
                                           QString("Fattura %1").arg(i), "Testo");
        ASSERT_EQ(status, 0) << err.toStdString();
    }
    std::vector<int> statuses;
    for (int i = 0; i < 3; ++i)
        statuses.push_back(waitForAdopted("velinor", 60000));
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_EQ(statuses, std::vector<int>({0, 0, 0}));
    ASSERT_EQ(sink.messageCount(), 3);
    QStringList arrived;
    for (int n = 1; n <= 3; ++n)
        arrived << sink.summary(n)["subject"].toString() + " " +
                       sink.summary(n)["rcpt_tos"].toArray().first().toString();
    arrived.sort();
    EXPECT_EQ(arrived,
              QStringList({"Fattura 1 cliente1@esempio.it", "Fattura 2 cliente2@esempio.it",
                           "Fattura 3 cliente3@esempio.it"}));
    EXPECT_FALSE(QFile::exists(win.file("system/Default.ini")));
}

// An unattended send that fails at its second recipient gives the hand-off back with only the
// recipients not yet served, and says so; the rerun sends to those and not to the first again.
TEST_F(HandOffEndToEndTest, RerunAfterAFailureServesOnlyTheRecipientsLeft) {
    SinkServer refusing;
    ASSERT_TRUE(
        refusing.startWith({"--refuse", "secondo@esempio.it", "550 5.1.1 Mailbox unavailable"}))
        << refusing.error().toStdString();
    storePort(refusing.port());
    const QString ini = win.file("system/Default.ini");
    QStringList writes{"TarvUtility.ShellMan"};
    for (const auto& [key, value] :
         {std::pair<QString, QString>{"Dest",
                                      "primo@esempio.it;secondo@esempio.it;terzo@esempio.it"},
          {"Subject", "Avviso"},
          {"Testo", "Testo"},
          {"Nascosto", "True"},
          {"Esci", "True"}})
        writes << "SetVar(\"" + ini + "\", \"Dati\", \"" + key + "\", \"" + value + "\")";
    ASSERT_EQ(run(TARV_CALL, writes).first, 0);
    const QString velinor = win.file("system/velinor");

    auto [status, err] = run(velinor, {});
    EXPECT_NE(status, 0); // the failure's own status
    EXPECT_TRUE(err.contains("i primi 1 destinatari hanno ricevuto il messaggio; in Dest restano "
                             "solo gli altri: secondo@esempio.it;terzo@esempio.it"))
        << err.toStdString();
    // Every other byte as the host wrote it (new files get CR LF line ends).
    EXPECT_EQ(TestWindowsDir::read(ini),
              QByteArray("[Dati]\r\nDest=secondo@esempio.it;terzo@esempio.it\r\nSubject=Avviso\r\n"
                         "Testo=Testo\r\nNascosto=True\r\nEsci=True\r\n"));
    ASSERT_EQ(refusing.messageCount(), 1);
    EXPECT_EQ(refusing.summary(1)["rcpt_tos"].toArray(), QJsonArray{"primo@esempio.it"});

    storePort(sink.port());
    std::tie(status, err) = run(velinor, {});
    EXPECT_EQ(status, 0) << err.toStdString();
    ASSERT_EQ(sink.messageCount(), 2);
    EXPECT_EQ(sink.summary(1)["rcpt_tos"].toArray(), QJsonArray{"secondo@esempio.it"});
    EXPECT_EQ(sink.summary(2)["rcpt_tos"].toArray(), QJsonArray{"terzo@esempio.it"});
    EXPECT_FALSE(QFile::exists(ini));
}

// A full disk: the system folder is a small tmpfs, filled, in a mount namespace of the test's
// own. The call fails with 61 and starts nothing; the previous hand-off stays as it was and
// nothing half-written is left.
TEST_F(HandOffEndToEndTest, InviaFileOnAFullDiskFailsAndKeepsThePreviousHandOff) {
    if (geteuid() != 0 ||
        QProcess::execute("unshare", {"-m", "sh", "-c", "mount --make-rprivate / 2>/dev/null"}) !=
            0)
        GTEST_SKIP() << "a full disk is made as root in a private mount namespace, which cannot "
                        "be had here";
    const QString system = win.file("system");
    const QString script =
        QStringLiteral("mount --make-rprivate / && mount -t tmpfs -o size=32k tmpfs '%1' && "
                       "printf '[Dati]\\nDest=prima@esempio.it\\n' > '%1/Default.ini' && "
                       "{ dd if=/dev/zero of='%1/pieno' bs=1k count=64 2>/dev/null; true; } && "
                       "\"$@\"; s=$?; ls -A '%1'; cat '%1/Default.ini'; exit $s")
            .arg(system);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start("unshare", {"-m", "sh", "-c", script, "sh", TARV_CALL, "TarvUtility.Altro",
                        "Invia_File(\"/doc/nuova.pdf\", \"nuovo@esempio.it\")"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("Errore 61 (0x800A003D): Invia_File: Disco pieno: " + system +
                             "/Default.ini; nulla è stato avviato"))
        << err.toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
              ".Default.ini.lock\nDefault.ini\npieno\n[Dati]\nDest=prima@esempio.it\n");
}

} // namespace
