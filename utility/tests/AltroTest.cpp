// Altro: the platform family, the end of the session against the process starter's recording
// fake, and the writer side of the hand-off.
#include "Altro.h"

#include "ErrorInfo.h"
#include "HandOffClaim.h"
#include "HandOffText.h"
#include "ProfileFile.h"
#include "ShellMan.h"
#include "TestWindowsDir.h"

#include <QFile>
#include <QProcess>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

// Sets an environment variable (a null value unsets it) until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_saved(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_saved;
    bool m_had;
};

class AltroTest : public WindowsDirTest {
protected:
    ComPtr<Altro> altro = ComPtr<Altro>::adopt(new Altro);
    QString handOff() const { return win.file("system/Default.ini"); }
    QString key(const char* name) const {
        return ProfileFile::readString("Dati", name, "<assente>", handOff());
    }
    void installMailer() {
        win.write("system/velinor", "#!/bin/sh\n");
        QFile::setPermissions(win.file("system/velinor"), QFile::ReadOwner | QFile::ExeOwner);
    }
};

TEST_F(AltroTest, SpegniPcAsksByTipoAndMapsTheFlagsOntoSystemd) {
    qputenv("XDG_SESSION_ID", "7");
    const char* const noQuestion = "";
    const char* const nothing = "";
    // platform, Tipo, msg, answer, question, Tipo after, command requested
    struct Case {
        int platform, tipo;
        bool msg;
        MsgAnswer answer;
        const char* question;
        int tipoAfter;
        const char* command;
    } cases[] = {
        {2, 0, true, MsgAnswer::Yes, "Disconnetersi ora?", 0, "loginctl terminate-session 7"},
        {2, 1, true, MsgAnswer::Yes, "Spegnere il pc ora?", 9,
         "systemctl poweroff --check-inhibitors=yes"},
        {1, 1, true, MsgAnswer::Yes, "Spegnere il pc ora?", 1,
         "systemctl halt --check-inhibitors=yes"},
        {2, 5, false, MsgAnswer::No, noQuestion, 13, "systemctl poweroff --check-inhibitors=no"},
        {2, 2, false, MsgAnswer::No, noQuestion, 2, "systemctl reboot --check-inhibitors=yes"},
        {2, 6, true, MsgAnswer::Yes, "Spegnere il pc ora?", 6,
         "systemctl reboot --check-inhibitors=no"},
        {2, 4, true, MsgAnswer::Yes, "Spegnere il pc ora?", 4, "loginctl terminate-session 7"},
        {2, 2, true, MsgAnswer::No, "Riavviare il pc ora?", 2, nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "platform " << c.platform << " Tipo " << c.tipo);
        qputenv("TARV_PLATFORM_ID", QByteArray::number(c.platform));
        win.boxes.shown.clear();
        win.boxes.answers = {c.answer};
        win.processes.started.clear();
        Tipo_Speg tipo = Tipo_Speg(c.tipo);
        VARIANT_BOOL msg = toVariantBool(c.msg);
        EXPECT_EQ(altro->Spegni_Pc(&tipo, &msg), S_OK);
        EXPECT_EQ(tipo, c.tipoAfter);
        QStringList asked, requested;
        for (const MessageBoxRequest& r : win.boxes.shown)
            if (r.buttons == MsgButtons::YesNo && r.icon == MsgIcon::Question)
                asked << r.text;
        for (const auto& start : win.processes.started)
            requested << (QStringList(start.program) + start.arguments).join(' ');
        EXPECT_EQ(asked.join('|'), c.question);
        EXPECT_EQ(requested.join('|'), c.command);
    }
    qunsetenv("TARV_PLATFORM_ID");
    qunsetenv("XDG_SESSION_ID");
}

TEST_F(AltroTest, InviaFileWritesTheFourKeysAndStartsTheInstalledMailer) {
    win.write("system/Default.ini", "[Dati]\nTesto=vecchio\nTestoIntero=\"vecchio\\nx\"\n"
                                    "Nascosto=True\n[Altro]\nDest=resta\n");
    installMailer();
    QString file = "/doc/fattura.pdf", dest, subject, text = "Una riga";
    ASSERT_EQ(altro->Invia_File(&file, &dest, &subject, &text), S_OK);
    EXPECT_EQ(key("Allegato"), "/doc/fattura.pdf");
    EXPECT_EQ(key("Dest"), "");
    EXPECT_EQ(key("Subject"), "");
    EXPECT_EQ(key("Testo"), "Una riga");
    EXPECT_EQ(key("TestoIntero"), "<assente>"); // no stale whole text of the earlier hand-off
    EXPECT_EQ(key("Nascosto"), "True");         // other keys stay
    EXPECT_EQ(ProfileFile::readString("Altro", "Dest", "", handOff()), "resta");
    ASSERT_EQ(win.processes.started.size(), 1u);
    EXPECT_EQ(win.processes.started[0].program, win.file("system/velinor"));
    EXPECT_TRUE(win.processes.started[0].arguments.isEmpty());
    EXPECT_EQ(win.processes.started[0].workingDirectory, win.file("system/"));
}

// Lines of a hostile text stay inside the text: they add no key, and the whole text is there.
TEST_F(AltroTest, InviaFileKeepsAMultiLineTextWholeAndAddsNoKeys) {
    installMailer();
    QFile::setPermissions(win.file("system"), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadGroup |
                                                  QFile::WriteGroup | QFile::ExeGroup);
    const QString hostile = "Riga uno\nNascosto=True\r\nAllegato=/etc/shadow\n[Dati]\n  fine\\n ";
    QString file = "/doc/a.pdf", dest = "x@y.it", subject = "S", text = hostile;
    ASSERT_EQ(altro->Invia_File(&file, &dest, &subject, &text), S_OK);
    EXPECT_EQ(ProfileFile::keyNames("Dati", handOff()),
              QStringList({"Allegato", "Dest", "Subject", "Testo", "TestoIntero"}));
    EXPECT_EQ(key("Allegato"), "/doc/a.pdf");
    EXPECT_EQ(key("Testo"), "Riga uno");
    EXPECT_EQ(HandOffText::decode(key("Testo"), key("TestoIntero")), hostile);
    // The mailer trusts only a file that no one else can write.
    EXPECT_FALSE(QFile::permissions(handOff()) & (QFile::WriteGroup | QFile::WriteOther));
    EXPECT_FALSE(QFile::permissions(win.file("system")) & (QFile::WriteGroup | QFile::WriteOther));
}

TEST_F(AltroTest, InviaFileFailures) {
    // A line break in a one-line argument: nothing written, nothing started.
    installMailer();
    QString file = "/doc/a.pdf\nNascosto=True", dest, subject, text;
    EXPECT_EQ(altro->Invia_File(&file, &dest, &subject, &text), controlError(5));
    EXPECT_TRUE(takeErrorInfo().description.contains("FileDaInviare"));
    EXPECT_FALSE(QFile::exists(handOff()));
    EXPECT_TRUE(win.processes.started.empty());

    // No mailer installed: error 53 after the keys are written.
    QFile::remove(win.file("system/velinor"));
    file = "/doc/a.pdf";
    EXPECT_EQ(altro->Invia_File(&file, &dest, &subject, &text), controlError(53));
    EXPECT_TRUE(takeErrorInfo().description.startsWith("Invia_File: Impossibile trovare il file"));
    EXPECT_EQ(key("Allegato"), "/doc/a.pdf");
    EXPECT_TRUE(win.processes.started.empty());
}

// A hand-off that cannot be written as a whole, or whose mailer could not show its window,
// fails with its number and starts nothing; the previous hand-off stays as it was.
TEST_F(AltroTest, InviaFileThatCannotBeWrittenOrShownStartsNothing) {
    installMailer();
    const QByteArray previous = "[Dati]\nDest=prima@x.it\nAllegato=/doc/prima.pdf\n";
    const QString system = win.file("system");
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    struct Case {
        const char* what;
        std::function<void()> prepare, undo;
        int number;
        const char* description;
    } cases[] = {
        {"read-only file", [&] { ::chmod(QFile::encodeName(handOff()).constData(), 0444); },
         [&] { ::chmod(QFile::encodeName(handOff()).constData(), 0600); }, 70,
         "Autorizzazione negata"},
        {"read-only folder", [&] { ::chmod(QFile::encodeName(system).constData(), 0555); },
         [&] { ::chmod(QFile::encodeName(system).constData(), 0755); }, 70,
         "Autorizzazione negata"},
        {"no room for the file",
         [&] {
             rlimit tiny = unlimited;
             tiny.rlim_cur = 16;
             ::signal(SIGXFSZ, SIG_IGN);
             setrlimit(RLIMIT_FSIZE, &tiny);
         },
         [&] { setrlimit(RLIMIT_FSIZE, &unlimited); }, 61, "Disco pieno"},
        {"no display", [] { qunsetenv("QT_QPA_PLATFORM"); },
         [] { qputenv("QT_QPA_PLATFORM", "offscreen"); }, 5,
         "Velinor non potrebbe mostrare la sua finestra (nessuno schermo)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win.write("system/Default.ini", previous);
        win.processes.started.clear();
        const ScopedEnv noDisplay("DISPLAY", {}), noWayland("WAYLAND_DISPLAY", {});
        c.prepare();
        QString file = "/doc/nuova.pdf", dest = "nuovo@x.it", subject, text;
        const HRESULT hr = altro->Invia_File(&file, &dest, &subject, &text);
        c.undo();
        EXPECT_EQ(hr, controlError(c.number));
        const QString description = takeErrorInfo().description;
        EXPECT_TRUE(description.contains(c.description)) << description.toStdString();
        EXPECT_EQ(TestWindowsDir::read(handOff()), previous);
        EXPECT_TRUE(win.processes.started.empty());
    }
    // Unattended, the mailer needs no display.
    const ScopedEnv noDisplay("DISPLAY", {}), noPlatform("QT_QPA_PLATFORM", {});
    win.write("system/Default.ini", "[Dati]\nNascosto=True\nEsci=True\n");
    QString file = "/doc/nuova.pdf", dest = "nuovo@x.it", subject, text;
    EXPECT_EQ(altro->Invia_File(&file, &dest, &subject, &text), S_OK);
    EXPECT_EQ(win.processes.started.size(), 1u);
}

// The call returns once the mailer has taken the file, so that the host's next write cannot
// land in it; a mailer that ends without taking it is a failure.
TEST_F(AltroTest, InviaFileWaitsUntilTheMailerTookTheFile) {
    installMailer();
    HandOffClaim taken;
    win.processes.pid = getpid(); // a running process to watch
    win.processes.onStart = [&](const QString&) { ASSERT_TRUE(taken.take(handOff())); };
    QString file = "/doc/a.pdf", dest = "x@y.it", subject = "S", text = "T";
    ASSERT_EQ(altro->Invia_File(&file, &dest, &subject, &text), S_OK);
    EXPECT_FALSE(QFile::exists(handOff()));
    EXPECT_EQ(ProfileFile::readString("Dati", "Dest", "", taken.path()), "x@y.it");
    taken.consume();

    QProcess gone;
    gone.start("true");
    ASSERT_TRUE(gone.waitForFinished());
    win.processes.pid = gone.processId() > 0 ? gone.processId() : 999999999;
    win.processes.onStart = nullptr;
    EXPECT_EQ(altro->Invia_File(&file, &dest, &subject, &text), controlError(75));
    EXPECT_TRUE(takeErrorInfo().description.contains("è terminato senza prendere il messaggio"));
}

// After a send that was given back unsent, its Nascosto and Esci are not the next message's:
// a new hand-off drops them unless the host wrote them again with SetVar.
TEST_F(AltroTest, InviaFileDropsTheFlagsOfAMessageGivenBackUnlessTheHostWroteThemAgain) {
    installMailer();
    ComPtr<ShellMan> shell = ComPtr<ShellMan>::adopt(new ShellMan);
    for (const bool hostWritesNascosto : {false, true}) {
        SCOPED_TRACE(hostWritesNascosto);
        win.write("system/Default.ini", "[Dati]\nDest=a@x.it;b@x.it\nNascosto=True\nEsci=True\n");
        HandOffClaim run;
        ASSERT_TRUE(run.take(handOff()));
        run.giveBack(1);
        EXPECT_EQ(key("Dest"), "b@x.it");
        if (hostWritesNascosto) {
            QString name = handOff(), section = "Dati", k = "Nascosto";
            shell->SetVar(&name, &section, &k, "True");
        }
        QString file = "/doc/a.pdf", dest = "c@x.it", subject, text;
        ASSERT_EQ(altro->Invia_File(&file, &dest, &subject, &text), S_OK);
        EXPECT_EQ(key("Nascosto"), hostWritesNascosto ? "True" : "<assente>");
        EXPECT_EQ(key("Esci"), "<assente>");
        EXPECT_EQ(key("Dest"), "c@x.it");
    }
}

} // namespace
