// Delivery of one message with a 20 MB attachment to a local aiosmtpd: the mailer's SMTP
// session with "PausaAllegati" 0 against `swaks --attach`, same file, same server, same run.
// Each sender runs as a child process so that its time and peak memory are its own.
#include "ProgramSettings.h"
#include "RegistryStore.h"
#include "Services.h"
#include "SmtpBenchSupport.h"
#include "SmtpSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarv;
using namespace tarv::bench;

namespace {

// The child: one send, exit status 0 when the server took the message.
int sendOnce(const QString& port, const QString& file) {
    ProgramSettings settings;
    settings.Apri_Chiave_Programma();
    settings.Crea_Chiave(ProgramSettings::kProgramKey);
    settings.Apri_Chiave_Programma();
    settings.Scrivi_Impostazione("PausaAllegati", "0");
    ProgramSettings::saveLargeAttachmentSetting("True");
    ConsoleView view;
    fillJob(view, "127.0.0.1", file);
    SmtpSession session(view, settings);
    session.setPort(quint16(port.toUInt()));
    session.setConnectivityTest([] { return true; });
    session.SendMimeConnect_Click();
    if (!view.completed)
        std::fprintf(stderr, "velinor send failed: %s\n", qPrintable(view.outcome()));
    return view.completed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--send")
        return sendOnce(args[2], args[3]);

    QTemporaryDir dir;
    qputenv("TARV_WINDIR", QFile::encodeName(dir.filePath("windows")));
    QDir().mkpath(dir.filePath("windows"));
    QDir().mkpath(dir.filePath("sink"));
    const QString file = dir.filePath("allegato.bin");
    writeAttachment(file);
    QProcess sink;
    const QString port = startSink(sink, {"127.0.0.1", "0", dir.filePath("sink")});
    if (port.isEmpty()) {
        std::fprintf(stderr, "bench_smtp_delivery: aiosmtpd did not start\n");
        return 1;
    }

    const int rounds = 3;
    Run best, bestAnchor;
    if (!bestOf(rounds, {app.applicationFilePath(), "--send", port, file},
                {"swaks", "--server", "127.0.0.1:" + port, "--from", "bench@velinor.test", "--to",
                 "sink@velinor.test", "--attach", "@" + file, "--silent", "2"},
                dir.path(), "bench_smtp_delivery", &best, &bestAnchor))
        return 1;
    sink.closeWriteChannel();
    sink.waitForFinished(10000);
    const int received = int(QDir(dir.filePath("sink")).entryList({"*.eml"}).size());

    std::printf(
        "Delivery of a 20 MB attachment to local aiosmtpd (best of %d, %d messages received)\n",
        rounds, received);
    std::printf("  velinor (PausaAllegati 0): %8.1f ms  peak memory %6.1f MB\n", best.ms,
                best.peakKb / 1024.0);
    std::printf("  swaks --attach           : %8.1f ms  peak memory %6.1f MB\n", bestAnchor.ms,
                bestAnchor.peakKb / 1024.0);
    std::printf("  ratio (swaks time / velinor time): %.2f\n", bestAnchor.ms / best.ms);
    return received == 2 * rounds ? 0 : 1;
}
