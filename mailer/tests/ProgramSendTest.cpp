// The program itself, started as another program would start it after dropping a hand-off
// file beside it: the message goes out with nobody at the keyboard and the program ends.
#include "ProgramSettings.h"
#include "SendTestSupport.h"

#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

class ProgramSendTest : public WindowsDirTest {
protected:
    QString program;
    QString handOff;

    void SetUp() override {
        if (!enterOwnNetwork())
            GTEST_SKIP() << "needs root: the program sends to port 25, which only a network "
                            "namespace of the test's own can offer";
        QDir().mkpath(win.file("system"));
        program = win.file("system/velinor");
        ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(qgetenv("TARV_BUILD_DIR")) + "/mailer/velinor",
                                program));
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
    };
    // Runs the program under a host name that resolves to no address, so that the machine
    // counts as on line and no question waits for an answer.
    Outcome run() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start("unshare", {"--uts", "sh", "-c", "hostname velinor-e2e.invalid && exec \"$0\"", program});
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
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
              "Testo=In allegato la fattura.\r\nAllegato=" + attachment.toUtf8() +
              "\r\nNascosto=True\r\nEsci=True\r\n");
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
    EXPECT_TRUE(o.errors.contains("Host Sconosciuto: no-such-host.invalid")) << o.errors.constData();
    EXPECT_TRUE(QFile::exists(handOff)); // kept for the next try
}

} // namespace
