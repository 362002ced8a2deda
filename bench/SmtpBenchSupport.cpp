#include "SmtpBenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tarv::bench {

void fillJob(ConsoleView& view, const QString& server, const QString& attachment) {
    view.fields.server = server;
    view.fields.sender = "bench@velinor.test";
    view.fields.recipients = {"sink@velinor.test"};
    view.fields.subject = "Benchmark";
    view.fields.body = "Allegato da 20 MB";
    view.fields.attachments = {attachment};
    view.fields.hasAttachments = true;
    view.fields.exitFlag = "True";
}

void writeAttachment(const QString& path) {
    QByteArray data(20 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

QString startSink(QProcess& sink, const QStringList& arguments) {
    sink.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sink.start("/usr/bin/python3", QStringList{TARV_SINK_SCRIPT} + arguments);
    sink.waitForStarted();
    QByteArray ready;
    while (!ready.contains('\n') && sink.waitForReadyRead(20000))
        ready += sink.readAllStandardOutput();
    if (!ready.startsWith("READY "))
        return QString();
    return QString::fromLatin1(ready.mid(6).trimmed());
}

Run runChild(const QStringList& command, const QString& workDir, const QString& input) {
    std::vector<QByteArray> args;
    for (const QString& a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray inputPath = QFile::encodeName(input);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QDir::setCurrent(workDir);
    Run run;
    QElapsedTimer t;
    t.start();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.ms = t.nsecsElapsed() / 1e6;
        run.peakKb = usage.ru_maxrss;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

bool bestOf(int rounds, const QStringList& mine, const QStringList& anchor, const QString& workDir,
            const char* bench, Run* bestMine, Run* bestAnchor) {
    for (int r = 0; r < rounds; ++r) {
        const Run a = runChild(mine, workDir);
        const Run b = runChild(anchor, workDir);
        if (a.status != 0 || b.status != 0) {
            std::fprintf(stderr, "%s: a send failed (velinor %d, %s %d)\n", bench, a.status,
                         qPrintable(anchor.first()), b.status);
            return false;
        }
        if (r == 0 || a.ms < bestMine->ms)
            *bestMine = a;
        if (r == 0 || b.ms < bestAnchor->ms)
            *bestAnchor = b;
    }
    return true;
}

} // namespace tarv::bench
