// The component as users meet it: registered with tarv-regsvr and driven by tarv-call.
#include "TestDisplay.h"
#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarv;

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

class ZlibToolTest : public WindowsDirTest {
protected:
    void SetUp() override {
        const ToolRun r = run(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_ZLIBTOOL_LIB)});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
    }
    // `wrapper` runs tarv-call inside another program (a shell, setpriv) when given.
    ToolRun run(const QString& program, const QStringList& args, const QStringList& wrapper = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("it_IT.UTF-8"));
        // A console host: tarv-call is a GUI host wherever a display is named.
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(display));
        p.setProcessEnvironment(env);
        if (wrapper.isEmpty())
            p.start(program, args);
        else
            p.start(wrapper.front(), wrapper.mid(1) + QStringList{program} + args);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    ToolRun call(const QStringList& operations, const QStringList& wrapper = {}) {
        return run(QStringLiteral(TARV_CALL),
                   QStringList{QStringLiteral("ZLIBTOOLLib.ZlibTool")} + operations, wrapper);
    }
    static QString put(const char* name, const QString& value) {
        return QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), value);
    }
};

TEST_F(ZlibToolTest, CompressesAndExpandsByDispatchWithAnItalianStatus) {
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data += "riga " + QByteArray::number(i) + " del registro IVA\n";
    const QString src = win.write(QStringLiteral("registro.txt"), data);
    const ToolRun z = call({put("InputFile", src), put("OutputFile", src + ".zl"),
                            QStringLiteral("CompressionLevel=9"), QStringLiteral("Compress"),
                            QStringLiteral("Status")});
    ASSERT_EQ(z.status, 0) << z.err.toStdString();
    const qint64 zlSize = QFileInfo(src + ".zl").size();
    // Sizes grouped as the Italian locale writes them, and the ratio.
    EXPECT_TRUE(z.out.contains(QStringLiteral("Compresso: %1 byte in %2 byte (")
                                   .arg(QLocale(QLocale::Italian).toString(qint64(data.size())),
                                        QLocale(QLocale::Italian).toString(zlSize))))
        << z.out.toStdString();
    QProcess t;
    t.start(QStringLiteral("gzip"), {QStringLiteral("-t"), src + ".zl"});
    t.waitForFinished();
    EXPECT_EQ(t.exitCode(), 0);
    const ToolRun x = call({put("InputFile", src + ".zl"), put("OutputFile", src + ".back"),
                            QStringLiteral("Decompress"), QStringLiteral("Status")});
    ASSERT_EQ(x.status, 0) << x.err.toStdString();
    EXPECT_TRUE(x.out.startsWith(QStringLiteral("Decompresso: "))) << x.out.toStdString();
    EXPECT_EQ(TestWindowsDir::read(src + ".back"), data);
}

TEST_F(ZlibToolTest, FailuresCarryANumberAndLeaveTheDestinationAlone) {
    const QString src = win.write(QStringLiteral("a.txt"), QByteArray(300000, 'a') + "fine");
    const struct Case {
        const char* name;
        QStringList operations;
        const char* error;
    } cases[] = {
        {"no source", {put("OutputFile", src + ".zl"), QStringLiteral("Compress")}, "Errore 52"},
        {"missing source",
         {put("InputFile", src + ".no"), put("OutputFile", src + ".zl"),
          QStringLiteral("Compress")},
         "Errore 53"},
        {"level out of range", {QStringLiteral("CompressionLevel=12")}, "Errore 380"},
    };
    for (const Case& c : cases) {
        const ToolRun r = call(c.operations);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_TRUE(r.err.startsWith(QLatin1String(c.error))) << c.name << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(src + ".zl"));

    if (geteuid() != 0)
        GTEST_SKIP() << "a full disk and a read-only folder for the user need root to set up";
    // In a chroot the mount namespace cannot be made private: the full disk is left out.
    const bool ownMounts =
        QProcess::execute(QStringLiteral("unshare"),
                          {"-m", "sh", "-c", "mount --make-rprivate / 2>/dev/null"}) == 0;
    // A full disk: the destination's folder is a 64 KiB tmpfs in a mount namespace of its own.
    // The old destination there survives and no temporary file is left.
    QFile::remove(src);
    win.write(QStringLiteral("a.txt"), [] {
        QByteArray noise(400000, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        return noise;
    }());
    const QString small = win.file(QStringLiteral("small"));
    QDir().mkpath(small);
    if (ownMounts) {
        const QString script =
            QStringLiteral(
                "mount --make-rprivate / && mount -t tmpfs -o size=64k tmpfs '%1' && "
                "echo vecchio > '%1/a.zl' && \"$@\"; s=$?; ls -A '%1'; cat '%1/a.zl'; exit $s")
                .arg(small);
        const ToolRun full = call(
            {put("InputFile", src), put("OutputFile", small + "/a.zl"), QStringLiteral("Compress")},
            {QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("sh"),
             QStringLiteral("-c"), script, QStringLiteral("sh")});
        EXPECT_EQ(full.status, 1);
        EXPECT_TRUE(full.err.startsWith(QLatin1String("Errore 61"))) << full.err.toStdString();
        EXPECT_EQ(full.out, QStringLiteral("a.zl\nvecchio\n"));
    }

    // A folder the user may not write: tarv-call runs as nobody, with copies of the program
    // and the control that nobody can reach wherever the build is.
    SharedCopies shared;
    ASSERT_EQ(run(QStringLiteral(TARV_REGSVR), {shared.of(TARV_ZLIBTOOL_LIB)}).status, 0);
    const QString locked = win.file(QStringLiteral("chiusa"));
    QDir().mkpath(locked);
    QFile::setPermissions(win.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(locked,
                          QFile::ReadOther | QFile::ExeOther | QFile::ReadOwner | QFile::ExeOwner);
    // The registration is in the machine store, which others may read; its folder is private.
    QFile::setPermissions(win.file(QStringLiteral("registry")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                              QFile::ReadOther | QFile::ExeOther);
    const ToolRun denied = run(shared.of(TARV_CALL),
                               {QStringLiteral("ZLIBTOOLLib.ZlibTool"), put("InputFile", src),
                                put("OutputFile", locked + "/a.zl"), QStringLiteral("Compress")},
                               {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                                QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")});
    EXPECT_EQ(denied.status, 1);
    EXPECT_TRUE(denied.err.startsWith(QLatin1String("Errore 70"))) << denied.err.toStdString();
    EXPECT_TRUE(QDir(locked).isEmpty());
    if (!ownMounts)
        GTEST_SKIP() << "no mount namespace of the test's own here (a chroot?): the full disk on "
                        "a small tmpfs was not tried";
}

// A job ended by SIGTERM or SIGINT (a shell's kill, Ctrl-C) leaves no partial file: the source
// is a pipe the test feeds, so the job is surely under way when the signal comes.
TEST_F(ZlibToolTest, AJobEndedByASignalLeavesNoTemporaryFile) {
    const QString fifo = win.file(QStringLiteral("flusso"));
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(display));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TARV_CALL),
                {QStringLiteral("ZLIBTOOLLib.ZlibTool"), put("InputFile", fifo),
                 put("OutputFile", fifo + ".zl"), QStringLiteral("Compress")});
        ASSERT_TRUE(p.waitForStarted());
        const int fd = openWhenRead(fifo);
        ASSERT_GE(fd, 0) << p.readAllStandardError().constData();
        const QByteArray data(2 << 20, 'x');
        ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::kill(pid_t(p.processId()), signal);
        EXPECT_TRUE(p.waitForFinished(60000));
        ::close(fd);
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(QDir(win.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList{QStringLiteral("flusso")});
        QFile::remove(fifo);
    }
}

} // namespace
