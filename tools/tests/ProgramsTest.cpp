// The tools as a user meets them: help and version without a display, a damaged registry
// store said plainly by every program, and the machine's store out of a plain user's reach.
#include "TestDisplay.h"
#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gmock/gmock.h>
#include <unistd.h>

using namespace tarv;

namespace {

struct Outcome {
    int status;
    QString out, err;
};

class ProgramsTest : public WindowsDirTest {
protected:
    // Runs a program with no display at all and the test's Windows directory.
    Outcome run(const QString& program, const QStringList& args, const QStringList& extraEnv = {},
                const QStringList& prefix = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("TARV_WINDIR", win.path());
        env.insert("LC_ALL", "C.UTF-8");
        for (const QString& kv : extraEnv)
            env.insert(kv.section('=', 0, 0), kv.section('=', 1));
        QProcess p;
        p.setProcessEnvironment(env);
        if (prefix.isEmpty())
            p.start(program, args);
        else
            p.start(prefix.first(), prefix.mid(1) + QStringList{program} + args);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return {-1, {}, QStringLiteral("timed out")};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(ProgramsTest, HelpAndVersionNeedNoDisplay) {
    const std::pair<const char*, QString> tools[] = {
        {"tarv-reg", TARV_TOOLS_DIR "/tarv-reg"},
        {"tarv-regsvr", TARV_TOOLS_DIR "/tarv-regsvr"},
        {"tarv-call", TARV_TOOLS_DIR "/tarv-call"},
        {"tarv-barcode", TARV_BARCODE},
    };
    for (const auto& [tool, program] : tools) {
        const Outcome version = run(program, {"--version"});
        EXPECT_EQ(version.status, 0) << tool << version.err.toStdString();
        EXPECT_EQ(version.out, QStringLiteral("%1 (Tarv) %2\n").arg(tool, TARV_VERSION));
        const Outcome help = run(program, {"--help"});
        EXPECT_EQ(help.status, 0) << tool << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith("Uso: ")) << tool;
        EXPECT_TRUE(help.err.isEmpty()) << tool << help.err.toStdString();
    }
}

TEST_F(ProgramsTest, DamagedStoreIsSaidPlainlyNamingTheFile) {
    const QByteArray junk = "appunti di qualcuno, non un registro\n";
    ASSERT_TRUE(QFile::copy(TARV_VELINOR, win.file("system/velinor")) ||
                (QDir().mkpath(win.file("system")) &&
                 QFile::copy(TARV_VELINOR, win.file("system/velinor"))));
    QFile::setPermissions(win.file("system/velinor"), QFile::ReadOwner | QFile::ExeOwner);
    const QString handOff =
        win.write("system/Default.ini", "[Dati]\nDest=a@b.it\nNascosto=True\nEsci=True\n");
    QFile::setPermissions(handOff, QFile::ReadOwner | QFile::WriteOwner);
    struct Case {
        const char* store;
        QString program;
        QStringList args;
        QStringList env;
    };
    const Case cases[] = {
        {"user.db", TARV_TOOLS_DIR "/tarv-reg", {"query", "HKCU\\Software"}, {}},
        {"machine.db", TARV_TOOLS_DIR "/tarv-call", {"TarvUtility.Math", "Round(2.675, 2, 1)"}, {}},
        {"machine.db", TARV_TOOLS_DIR "/tarv-regsvr", {TARV_UTILITY_LIB}, {}},
        {"user.db", win.file("system/velinor"), {}, {"QT_QPA_PLATFORM=offscreen"}},
        {"user.db", win.file("system/velinor"), {}, {}},
        {"user.db", win.file("system/velinor"), {"--to", "a@b.it", "--subject", "x"}, {}},
    };
    for (const Case& c : cases) {
        const QString file = win.write(QStringLiteral("registry/") + c.store, junk);
        const Outcome r = run(c.program, c.args, c.env);
        EXPECT_NE(r.status, 0) << c.program.toStdString();
        EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr("danneggiato"));
        EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr(file.toStdString()));
        EXPECT_EQ(TestWindowsDir::read(file), junk);
        QFile::remove(file);
    }
}

TEST_F(ProgramsTest, PlainUserCannotChangeTheMachineStore) {
    // As root the other user runs copies it can reach: a build folder in a private home (a
    // clone under /root) is out of its reach.
    const bool root = geteuid() == 0;
    SharedCopies shared;
    const auto reachable = [&](const QString& path) { return root ? shared.of(path) : path; };
    const QString lib = reachable(QStringLiteral(TARV_UTILITY_LIB));
    const QString regTool = reachable(QStringLiteral(TARV_TOOLS_DIR "/tarv-reg"));
    const QString regsvrTool = reachable(QStringLiteral(TARV_TOOLS_DIR "/tarv-regsvr"));
    const QString callTool = reachable(QStringLiteral(TARV_TOOLS_DIR "/tarv-call"));
    ASSERT_FALSE(lib.isEmpty() || regTool.isEmpty() || regsvrTool.isEmpty() || callTool.isEmpty());
    const QString machine = win.file("machine");
    const QStringList machineEnv{"TARV_MACHINE_DIR=" + machine};
    const Outcome registered = run(regsvrTool, {"--system", lib}, machineEnv);
    ASSERT_EQ(registered.status, 0) << registered.err.toStdString();
    const QString store = machine + "/registry/machine.db";
    const QByteArray before = TestWindowsDir::read(store);

    // Root is a plain user only once it has become one; anyone else sees the store read-only.
    QStringList as;
    QStringList env = machineEnv;
    if (root) {
        as = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        ::chmod(QFile::encodeName(win.path()).constData(), 0755);
        QDir().mkpath(win.file("nobody"));
        ::chmod(QFile::encodeName(win.file("nobody")).constData(), 0777);
        env << "TARV_WINDIR=" + win.file("nobody/tarv") << "HOME=" + win.file("nobody");
        if (run(regTool, {"--version"}, env, as).status != 0)
            GTEST_SKIP() << "the user nobody cannot run the programs of this build folder";
    } else {
        ::chmod(QFile::encodeName(store).constData(), 0444);
        ::chmod(QFile::encodeName(machine + "/registry").constData(), 0555);
    }
    const struct {
        QString program;
        QStringList args;
    } refused[] = {
        {regTool, {"add", "HKLM\\Software\\Prova", "/v", "x", "/d", "y", "/f"}},
        {regTool, {"delete", "HKCR\\TarvUtility.Math", "/f"}},
        {regsvrTool, {lib}},
        {regsvrTool, {"-u", lib}},
    };
    for (const auto& c : refused) {
        const Outcome r = run(c.program, c.args, env, as);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr("solo dall'amministratore"));
    }
    // What the machine registered, every user uses.
    const Outcome round = run(callTool, {"TarvUtility.Math", "Round(2.675, 2, 1)"}, env, as);
    EXPECT_EQ(round.out, "2.68\n") << round.err.toStdString();
    ::chmod(QFile::encodeName(machine + "/registry").constData(), 0755);
    EXPECT_EQ(TestWindowsDir::read(store), before);
}

} // namespace
