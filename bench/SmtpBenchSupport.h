#pragma once
// What the two SMTP benchmarks share: the job of a child's one send (on a ConsoleView), the 20 MB
// attachment, the aiosmtpd sink, and the timing of each sender as a child process of its own.
#include "ConsoleView.h"

#include <QProcess>
#include <QStringList>

#include <functional>

namespace tarv::bench {

// The job of one benchmark send: 20 MB attachment, one recipient, the program ending after it.
void fillJob(ConsoleView& view, const QString& server, const QString& attachment);

// 20 MB of reproducible noise.
void writeAttachment(const QString& path);

// Starts the sink script with these arguments and returns the port it listens on, or "" when
// it did not start.
QString startSink(QProcess& sink, const QStringList& arguments);

struct Run {
    double ms = 0;
    long peakKb = 0;
    int status = -1;
};

// One child process, standard input from `input`, standard output discarded: its wall time,
// peak memory and exit status.
Run runChild(const QStringList& command, const QString& workDir,
             const QString& input = QStringLiteral("/dev/null"));

// The best of `rounds` runs of each command, run in turns. False (and a line on standard error
// naming `bench`) when any run failed.
bool bestOf(int rounds, const QStringList& mine, const QStringList& anchor, const QString& workDir,
            const char* bench, Run* bestMine, Run* bestAnchor);

} // namespace tarv::bench
