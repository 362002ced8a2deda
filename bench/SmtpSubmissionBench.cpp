// Submission of one message with a 20 MB attachment to a local aiosmtpd over STARTTLS with a
// login (certificate of a test authority made here, verified by every sender), in the same run:
// the real `velinor --to ... --attach ...` from the command line (login from its stored settings
// and saved password), `msmtp` fed the very message velinor sent (as aiosmtpd saved it), and
// `swaks --tls --auth --attach`. Each sender runs as a child process so that its time and peak
// memory are its own.
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "SmtpBenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarv;
using namespace tarv::bench;

namespace {

// The stored settings and saved password the command line sends with.
bool storeSettings(const QString& port) {
    ProgramSettings settings;
    settings.Apri_Chiave_Programma();
    settings.Crea_Chiave(ProgramSettings::kProgramKey);
    settings.Apri_Chiave_Programma();
    settings.Scrivi_Impostazione("SMTP", "localhost");
    settings.Scrivi_Impostazione("Email", "bench@velinor.test");
    settings.Scrivi_Impostazione("Porta", port);
    settings.Scrivi_Impostazione("Sicurezza", "STARTTLS");
    settings.Scrivi_Impostazione("Utente", "bench");
    QString error;
    if (!PasswordStore().save("localhost", "bench", "segreta", &error)) {
        std::fprintf(stderr, "velinor: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

bool openssl(const QStringList& arguments) {
    QProcess p;
    p.start("openssl", arguments);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

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

    if (!storeSettings(port))
        return 1;
    {
        QFile body(path("body.txt")), config(path("msmtprc"));
        body.open(QIODevice::WriteOnly);
        body.write("Allegato da 20 MB\n");
        config.open(QIODevice::WriteOnly); // msmtp reads no one's configuration but this empty one
        config.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    const int rounds = 3;
    Run best[3];
    const char* names[3] = {"velinor --to --attach      ", "msmtp (same message)       ",
                            "swaks --tls --auth --attach"};
    for (int r = 0; r < rounds; ++r) {
        Run runs[3];
        runs[0] = runChild(
            {TARV_VELINOR, "--to", "sink@velinor.test", "--subject", "Benchmark", "--attach", file},
            dir.path(), path("body.txt"));
        // msmtp sends what velinor sent: the first message aiosmtpd saved.
        runs[1] = runChild({"msmtp", "-C", path("msmtprc"), "--host=localhost", "--port=" + port,
                            "--tls=on", "--tls-starttls=on", "--tls-trust-file=" + path("ca.pem"),
                            "--auth=plain", "--user=bench", "--passwordeval=echo segreta",
                            "--from=bench@velinor.test", "sink@velinor.test"},
                           dir.path(), dir.filePath("sink/1.eml"));
        runs[2] = runChild({"swaks",
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
                           dir.path());
        for (int i = 0; i < 3; ++i) {
            if (runs[i].status != 0) {
                std::fprintf(stderr, "bench_smtp_submission: %s failed (status %d)\n", names[i],
                             runs[i].status);
                return 1;
            }
            if (r == 0 || runs[i].ms < best[i].ms)
                best[i] = runs[i];
        }
    }
    sink.closeWriteChannel();
    sink.waitForFinished(10000);
    const int received = int(QDir(dir.filePath("sink")).entryList({"*.eml"}).size());

    std::printf("Submission of a 20 MB attachment over STARTTLS with AUTH PLAIN to local aiosmtpd "
                "(best of %d, %d messages received)\n",
                rounds, received);
    for (int i = 0; i < 3; ++i)
        std::printf("  %s : %8.1f ms  peak memory %6.1f MB\n", names[i], best[i].ms,
                    best[i].peakKb / 1024.0);
    std::printf("  ratio (msmtp time / velinor time): %.2f, (swaks time / velinor time): %.2f\n",
                best[1].ms / best[0].ms, best[2].ms / best[0].ms);
    return received == 3 * rounds ? 0 : 1;
}
