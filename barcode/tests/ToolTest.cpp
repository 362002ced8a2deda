// tarv-barcode from a shell: options, errors, and that the file is what the control shows.
#include "QtPrinters.h"
#include "tarv/ctlBarcode.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(TARV_BARCODE_TOOL), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

TEST(Tool, FileIsWhatTheControlShows) {
    QTemporaryDir dir;
    struct Case {
        QStringList options;
        qint16 type;
        QString code;
        bool text;
        qint16 align;
        qint16 module;
    };
    const Case cases[] = {
        {{"--type", "2", "--code", "400638133393"}, 2, "400638133393", true, 0, 0},
        {{"--type", "0", "--code", "tarv-39", "--no-text", "--align", "1", "--module", "2"},
         0,
         "tarv-39",
         false,
         1,
         2},
        {{"--align", "2", "--type", "1", "--code", "Codice 128"}, 1, "Codice 128", true, 2, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString file = dir.filePath(QStringLiteral("out%1.png").arg(n++));
        const ToolRun run = runTool(c.options + QStringList{"--size", "300x120", "-o", file});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        tarv::ctlBarcode control;
        control.resize(300, 120);
        control.setTipoCodice(c.type);
        control.setCodice(c.code);
        control.setMostraTesto(c.text);
        control.setAllineamento(c.align);
        control.setSpessore(c.module);
        const QImage saved(file);
        ASSERT_FALSE(saved.isNull());
        EXPECT_EQ(saved.convertToFormat(control.picture().format()), control.picture())
            << file.toStdString();
    }
}

TEST(Tool, HelpAndBadOptions) {
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--size")) << help.out.toStdString();

    QTemporaryDir dir;
    const QString file = dir.filePath("x.png");
    const QStringList bad[] = {
        {"--type", "1", "--code", "A", "--size", "300x120"},
        {"--type", "1", "--code", "A", "--size", "300", "-o", file},
        {"--type", "1", "--code", "A", "--size", "0x10", "-o", file},
        {"--type", "uno", "--code", "A", "--size", "300x120", "-o", file},
        {"--type", "70000", "--code", "A", "--size", "300x120", "-o", file},
        {"--type", "3", "--code", "A", "--size", "300x120", "-o", file},
        {"--type", "-1", "--code", "A", "--size", "300x120", "-o", file},
        {"--type", "1", "--code", "A", "--size", "300x120", "-o", file, "--colore", "rosso"},
        {"--type", "1", "--code"},
        {"--type", "1", "--code", "A", "--size", "20000x20000", "-o", file},
        {"--type", "1", "--code", "A", "--size", "300x120", "-o", dir.filePath("no/such/x.png")},
    };
    for (const QStringList& args : bad) {
        const ToolRun run = runTool(args);
        EXPECT_NE(run.status, 0) << args.join(' ').toStdString();
        const QStringList lines = run.err.trimmed().split('\n');
        EXPECT_TRUE(lines.last().startsWith("tarv-barcode: ")) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(file)) << args.join(' ').toStdString();
    }
}

TEST(Tool, ImageTheFormatCannotHoldLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("etichetta.png");
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("vecchia etichetta") == 17);
    old.close();
    // Wider than the PNG writer accepts.
    const ToolRun run = runTool({"--type", "1", "--code", "A", "--size", "1000001x1", "-o", file});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.err.trimmed().split('\n').last().startsWith("tarv-barcode: "))
        << run.err.toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("vecchia etichetta"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"etichetta.png"});
}

// A label that shows "SIZE!" or "LENGTH!" instead of its symbol is still written as the control
// shows it, but the batch learns of it: status 3 and a line on standard error.
TEST(Tool, ImageWithoutASymbolHasAStatusOfItsOwn) {
    QTemporaryDir dir;
    const struct Case {
        QStringList options;
        const char* shown;
    } cases[] = {
        {{"--type", "1", "--code", "UNA RIGA TROPPO LUNGA PER 120 PIXEL"}, "SIZE!"},
        {{"--type", "2", "--code", "40063813"}, "LENGTH!"},
    };
    for (const Case& c : cases) {
        const QString file = dir.filePath(QStringLiteral("etichetta.png"));
        const ToolRun run = runTool(c.options + QStringList{"--size", "120x60", "-o", file});
        EXPECT_EQ(run.status, 3) << c.shown;
        const QString line = run.err.trimmed().split('\n').last();
        EXPECT_TRUE(line.startsWith("tarv-barcode: ")) << run.err.toStdString();
        EXPECT_TRUE(line.contains(QLatin1String(c.shown))) << run.err.toStdString();
        tarv::ctlBarcode control;
        control.resize(120, 60);
        control.setTipoCodice(c.options[1].toShort());
        control.setCodice(c.options[3]);
        EXPECT_EQ(control.messaggioMostrato(), QLatin1String(c.shown));
        const QImage saved(file);
        ASSERT_FALSE(saved.isNull()) << c.shown;
        EXPECT_EQ(saved.convertToFormat(control.picture().format()), control.picture());
    }
}
