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

    void SetUp() override {
        if (!enterOwnNetwork())
            GTEST_SKIP() << "needs root: the mailer sends to port 25 and runs under a host name "
                            "of its own, which a network namespace of the test's own offers";
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
    }

    // Runs a tool under a host name that resolves to no address, so that the machine counts
    // as on line (as the mailer's own program test does).
    std::pair<int, QString> run(const char* program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("unshare",
                QStringList{"--uts", "sh", "-c", "hostname tarv-e2e.invalid && exec \"$0\" \"$@\"",
                            QString::fromUtf8(program)} +
                    args);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(HandOffEndToEndTest, InviaFileFromTheShellReachesTheServerWhole) {
    SinkServer sink;
    ASSERT_TRUE(sink.start()) << sink.error().toStdString();
    ASSERT_EQ(sink.port(), 25);
    const QByteArray pdf("%PDF-1.4\n\0\xff\x01 fattura", 20);
    const QString attachment = win.write("doc/fattura.pdf", pdf);
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    // The host asks for an unattended send as it would, through SetVar.
    const QString ini = win.file("system/Default.ini");
    auto [status, err] =
        run(TARV_CALL,
            {"TarvUtility.ShellMan", "SetVar(\"" + ini + "\", \"Dati\", \"Nascosto\", \"True\")",
             "SetVar(\"" + ini + "\", \"Dati\", \"Esci\", \"True\")"});
    ASSERT_EQ(status, 0) << err.toStdString();
    std::tie(status, err) =
        run(TARV_CALL, {"TarvUtility.Altro", "Invia_File(\"" + attachment +
                                                 "\", \"cliente@esempio.it\", \"Fattura 12\", "
                                                 "\"Riga uno\\nRiga due\")"});
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

} // namespace
