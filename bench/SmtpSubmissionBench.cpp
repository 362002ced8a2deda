// Submission of one message with a 20 MB attachment to a local aiosmtpd over STARTTLS with a
// login (certificate of a test authority made here, verified by both senders): the mailer's
// SMTP session with "PausaAllegati" 0 against `swaks --tls --auth --attach`, same file, same
// server, same run. Each sender runs as a child process so that its time and peak memory are
// its own.
#include "PasswordStore.h"
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
    settings.Scrivi_Impostazione("Porta", port);
    settings.Scrivi_Impostazione("Sicurezza", "STARTTLS");
    settings.Scrivi_Impostazione("Utente", "bench");
    QString error;
    if (!PasswordStore().save("localhost", "bench", "segreta", &error)) {
        std::fprintf(stderr, "velinor: %s\n", qPrintable(error));
        return 1;
    }
    ProgramSettings::saveLargeAttachmentSetting("True");
    BenchView view;
    fillJob(view, "localhost", file);
    SmtpSession session(view, settings);
    session.setConnectivityTest([] { return true; });
    session.SendMimeConnect_Click();
    if (!view.done)
        std::fprintf(stderr, "velinor send failed: %s\n", qPrintable(view.status));
    return view.done ? 0 : 1;
}

} // namespace

bool openssl(const QStringList& arguments) {
    QProcess p;
    p.start("openssl", arguments);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--send")
        return sendOnce(args[2], args[3]);

    QTemporaryDir dir;
    qputenv("TARV_WINDIR", QFile::encodeName(dir.filePath("windows")));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"); // no desktop keyring
    const auto path = [&](const char* name) { return dir.filePath(name); };
    {
        QFile ext(path("ext.cnf"));
        ext.open(QIODevice::WriteOnly);
        ext.write("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n");
    }
    const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    if (!openssl(QStringList{"req", "-x509"} + ec +
                 QStringList{"-keyout", path("ca.key"), "-out", path("ca.pem"), "-days", "1",
                             "-subj", "/CN=Bench CA", "-addext",
                             "basicConstraints=critical,CA:TRUE"}) ||
        !openssl(QStringList{"req"} + ec +
                 QStringList{"-keyout", path("srv.key"), "-out", path("srv.csr"), "-subj",
                             "/CN=localhost"}) ||
        !openssl({"x509", "-req", "-in", path("srv.csr"), "-CA", path("ca.pem"), "-CAkey",
                  path("ca.key"), "-CAcreateserial", "-out", path("srv.pem"), "-days", "1",
                  "-extfile", path("ext.cnf")})) {
        std::fprintf(stderr, "bench_smtp_submission: openssl could not make the certificates\n");
        return 1;
    }
    qputenv("SSL_CERT_FILE", QFile::encodeName(path("ca.pem")));
    QDir().mkpath(dir.filePath("windows"));
    QDir().mkpath(dir.filePath("sink"));
    const QString file = dir.filePath("allegato.bin");
    writeAttachment(file);
    QProcess sink;
    const QString port =
        startSink(sink, {"127.0.0.1", "0", dir.filePath("sink"), "--starttls", path("srv.pem"),
                         path("srv.key"), "--login", "bench:segreta"});
    if (port.isEmpty()) {
        std::fprintf(stderr, "bench_smtp_submission: aiosmtpd did not start\n");
        return 1;
    }

    const int rounds = 3;
    Run best, bestAnchor;
    if (!bestOf(rounds, {app.applicationFilePath(), "--send", port, file},
                {"swaks",
                 "--server",
                 "localhost:" + port,
                 "--from",
                 "bench@velinor.test",
                 "--to",
                 "sink@velinor.test",
                 "--attach",
                 "@" + file,
                 "--tls",
                 "--tls-verify",
                 "--tls-ca-path",
                 path("ca.pem"),
                 "--auth",
                 "PLAIN",
                 "--auth-user",
                 "bench",
                 "--auth-password",
                 "segreta",
                 "--silent",
                 "2"},
                dir.path(), "bench_smtp_submission", &best, &bestAnchor))
        return 1;
    sink.closeWriteChannel();
    sink.waitForFinished(10000);
    const int received = int(QDir(dir.filePath("sink")).entryList({"*.eml"}).size());

    std::printf("Submission of a 20 MB attachment over STARTTLS with AUTH PLAIN to local aiosmtpd "
                "(best of %d, %d messages received)\n",
                rounds, received);
    std::printf("  velinor (PausaAllegati 0)   : %8.1f ms  peak memory %6.1f MB\n", best.ms,
                best.peakKb / 1024.0);
    std::printf("  swaks --tls --auth --attach : %8.1f ms  peak memory %6.1f MB\n", bestAnchor.ms,
                bestAnchor.peakKb / 1024.0);
    std::printf("  ratio (swaks time / velinor time): %.2f\n", bestAnchor.ms / best.ms);
    return received == 2 * rounds ? 0 : 1;
}
