#pragma once
// What the two SMTP benchmarks share: the send view of a child's one send, the 20 MB
// attachment, the aiosmtpd sink, and the timing of each sender as a child process of its own.
#include "SendView.h"

#include <QProcess>
#include <QStringList>

#include <functional>

namespace tarv::bench {

class BenchView : public SendView {
public:
    SendJob fields;
    bool done = false;
    QString status;
    SendJob job() const override { return fields; }
    void setStatus(const QString& text) override { status = text; }
    void setPercent(const QString&) override {}
    void setProgressWidth(int) override {}
    void appendEcho(const QString&) override {}
    void clearEcho() override {}
    void setSendEnabled(bool) override {}
    QObject* owner() override { return nullptr; }
    void Chiudi_Programma(int) override { done = true; }
    void failUnattended(const QString& text) override { status = text; }
};

// The job of one benchmark send: 20 MB attachment, one recipient, the program ending after it.
void fillJob(BenchView& view, const QString& server, const QString& attachment);

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
