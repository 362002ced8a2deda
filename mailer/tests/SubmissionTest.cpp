// Submission to a provider's server: STARTTLS or TLS from the first byte, and a login, against
// aiosmtpd with certificates of a test authority.
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "SendTestSupport.h"
#include "SmtpSession.h"

#include "TestWindowsDir.h"

#include "SmtpSocket.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

const QString kPassword = QStringLiteral("Pà55w0rd!segreta");

class SubmissionTest : public WindowsDirTest {
protected:
    static inline TestAuthority* authority = nullptr;
    static inline TestAuthority* stranger = nullptr;

    static void SetUpTestSuite() {
        authority = new TestAuthority("Velinor Prova CA");
        stranger = new TestAuthority("Sconosciuta CA");
    }
    static void TearDownTestSuite() {
        delete authority;
        delete stranger;
    }

    // The test authority is the only one trusted; no desktop keyring is reached.
    ScopedEnv trust{"SSL_CERT_FILE", QFile::encodeName(authority->certificate())};
    ScopedEnv noKeyring{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"};
    RecordingSendView view;
    ProgramSettings settings{&win.registry};
    std::unique_ptr<SmtpSession> session;
    SinkServer sink;

    void SetUp() override {
        ASSERT_TRUE(authority->ok() && stranger->ok());
        win.pump.hook = [] { QCoreApplication::processEvents(); };
        view.jobFields.server = "localhost";
        view.jobFields.sender = "mario@rossi.it";
        view.jobFields.recipients = {"anna@bianchi.it"};
        view.jobFields.subject = "Ordine";
        view.jobFields.body = "Buongiorno";
        win.boxes.answer(MsgAnswer::No);
    }

    // Starts the server and stores the settings for it.
    void serve(QStringList options, const QString& security, const QString& user = "mario",
               TestAuthority* by = authority, const QString& certifiedName = "localhost",
               const QString& password = kPassword) {
        if (options.contains("--starttls") || options.contains("--tls")) {
            const auto [cert, key] = by->serverCertificate(certifiedName);
            ASSERT_FALSE(cert.isEmpty());
            options.insert(options.indexOf(QRegularExpression("--(start)?tls")) + 1, key);
            options.insert(options.indexOf(QRegularExpression("--(start)?tls")) + 1, cert);
        }
        ASSERT_TRUE(sink.startWith(options)) << sink.error().toStdString();
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("PausaAllegati", "0");
        settings.Scrivi_Impostazione("Porta", QString::number(sink.port()));
        settings.Scrivi_Impostazione("Sicurezza", security);
        settings.Scrivi_Impostazione("Utente", user);
        QString error;
        ASSERT_TRUE(PasswordStore(&win.registry).save("localhost", user, password, &error))
            << error.toStdString();
        session = std::make_unique<SmtpSession>(view, settings);
        session->setConnectivityTest([] { return true; });
    }

    void expectNoCredentialsIn(const QByteArray& text) {
        const QByteArray pw = kPassword.toUtf8();
        for (const QByteArray& secret :
             {pw, pw.toBase64(), (QByteArray("\0mario\0", 7) + pw).toBase64()})
            EXPECT_FALSE(text.contains(secret)) << text.toStdString();
    }
};

TEST_F(SubmissionTest, LoginDeliversWithAttachmentsIntact) {
    const struct {
        const char* name;
        QStringList options;
        const char* security;
    } cases[] = {
        // The server echoes the login back, cut across reads: the echo box still hides it.
        {"STARTTLS, AUTH PLAIN",
         {"--starttls", "--login", "mario:" + kPassword, "--echo-login"},
         "STARTTLS"},
        {"TLS from the first byte, AUTH LOGIN only",
         {"--tls", "--login", "mario:" + kPassword, "--no-plain", "--echo-login"},
         "tls"},
        {"no security chosen: the login takes the STARTTLS offered",
         {"--starttls", "--login", "mario:" + kPassword},
         ""},
    };
    QByteArray binary(200 * 1024, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) >> 3);
    view.jobFields.attachments = {win.write("fattura.pdf", binary), win.write("nota.txt", "ok\n")};
    view.jobFields.hasAttachments = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sink.stop();
        view.everyEcho.clear();
        serve(c.options, c.security);
        session->SendMimeConnect_Click();
        EXPECT_EQ(view.lastStatus(), "La e-mail è stata spedita correttamente!")
            << view.everyEcho.toStdString();
        ASSERT_EQ(sink.messageCount(), 1);
        const QJsonObject m = sink.summary(1);
        EXPECT_EQ(m["rcpt_tos"].toArray(), QJsonArray{"anna@bianchi.it"});
        const QJsonArray parts = m["attachments"].toArray();
        ASSERT_EQ(parts.size(), 2);
        EXPECT_EQ(QByteArray::fromBase64(parts[0].toObject()["data"].toString().toLatin1()),
                  binary);
        EXPECT_EQ(QByteArray::fromBase64(parts[1].toObject()["data"].toString().toLatin1()),
                  "ok\n");
        EXPECT_TRUE(view.statuses.contains("Connessione cifrata con localhost"));
        if (c.options.contains("--echo-login"))
            EXPECT_GE(view.everyEcho.count("****"), 2) << view.everyEcho.toStdString();
        expectNoCredentialsIn(view.everyEcho.toUtf8());
        // Nothing readable crossed the wire: the server saw the commands only after TLS.
        const QByteArray received = TestWindowsDir::read(sink.receivedLog());
        EXPECT_TRUE(received.startsWith(c.options.contains("--tls")
                                            ? "EHLO rossi.it\r\n"
                                            : "EHLO rossi.it\r\nSTARTTLS\r\nEHLO"))
            << received.left(200).toStdString();
    }
}

TEST_F(SubmissionTest, RefusalsEndTheSendWithoutFallingBack) {
    const QString login = "mario:" + kPassword;
    const struct {
        const char* name;
        QStringList options;
        const char* security;
        TestAuthority* by;
        const char* certifiedName;
        QString status;
    } cases[] = {
        {"wrong password",
         {"--starttls", "--login", "mario:altra"},
         "STARTTLS",
         authority,
         "localhost",
         "Nome utente o password rifiutati dal server (535): messaggio non spedito."},
        {"no STARTTLS offered",
         {"--login", login, "--login-in-clear"},
         "STARTTLS",
         authority,
         "localhost",
         "Il server non offre STARTTLS: messaggio non spedito, nulla è stato inviato in chiaro."},
        {"a login in the clear",
         {"--login", login, "--login-in-clear"},
         "",
         authority,
         "localhost",
         "La connessione con il server non è cifrata: la password non viene inviata. Impostare "
         "Sicurezza STARTTLS o TLS."},
        {"certificate for another name",
         {"--starttls", "--login", login},
         "STARTTLS",
         authority,
         "altro.esempio.it",
         "Certificato del server non valido: il certificato non è intestato a localhost. "
         "Messaggio non spedito."},
        {"untrusted authority",
         {"--tls", "--login", login},
         "TLS",
         stranger,
         "localhost",
         "Certificato del server non valido: l'autorità che lo ha emesso non è tra quelle "
         "riconosciute. Messaggio non spedito."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sink.stop();
        QFile::remove(sink.receivedLog());
        view.statuses.clear();
        serve(c.options, c.security, "mario", c.by, c.certifiedName);
        session->SendMimeConnect_Click();
        EXPECT_EQ(view.lastStatus(), c.status);
        EXPECT_FALSE(session->isSending());
        EXPECT_EQ(sink.messageCount(), 0);
        const QByteArray received = TestWindowsDir::read(sink.receivedLog());
        if (!c.status.contains("(535)")) // only a refused login went out, encrypted
            expectNoCredentialsIn(received);
        if (!c.options.contains("--tls"))
            EXPECT_FALSE(received.contains("MAIL FROM")) << received.toStdString();
    }
}

TEST_F(SubmissionTest, SettingsThatCannotBeUsedStopBeforeConnecting) {
    const struct {
        const char* porta;
        const char* sicurezza;
        const char* utente;
        QString status;
    } cases[] = {
        {"587x", "", "", "Porta non valida nelle impostazioni: \"587x\"."},
        {"70000", "", "", "Porta non valida nelle impostazioni: \"70000\"."},
        {"", "SSL", "",
         "Sicurezza non valida nelle impostazioni: \"SSL\" (vuota, STARTTLS o TLS)."},
        {"", "STARTTLS", "luigi",
         "Nessuna password salvata per l'utente luigi sul server localhost: salvarla "
         "dalle impostazioni (Login...) o con velinor --salva-password. Il portachiavi del "
         "desktop non è stato consultato: il bus di sessione unix:path=/nonexistent non "
         "risponde."},
    };
    serve({}, "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        settings.Apri_Chiave_Programma();
        settings.Scrivi_Impostazione("Porta", c.porta);
        settings.Scrivi_Impostazione("Sicurezza", c.sicurezza);
        settings.Scrivi_Impostazione("Utente", c.utente);
        session->SendMimeConnect_Click();
        EXPECT_EQ(view.lastStatus(), c.status);
        EXPECT_FALSE(session->isSending());
    }
    EXPECT_TRUE(TestWindowsDir::read(sink.receivedLog()).isEmpty());
}

} // namespace

namespace {

// A user name and password whose AUTH PLAIN line would be longer than the 512 bytes a command
// may have: the token follows the server's 334 instead.
TEST_F(SubmissionTest, LongLoginGoesAfterThe334) {
    const QString user = "amministrazione.contabilita." + QString(60, 'u') + "@esempio.it";
    const QString password = kPassword + QString(300, 'p');
    serve({"--starttls", "--login", user + ":" + password}, "STARTTLS", user, authority,
          "localhost", password);
    session->SendMimeConnect_Click();
    EXPECT_EQ(view.lastStatus(), "La e-mail è stata spedita correttamente!")
        << view.everyEcho.toStdString();
    EXPECT_EQ(sink.messageCount(), 1);
    EXPECT_TRUE(TestWindowsDir::read(sink.receivedLog()).contains("\r\nAUTH PLAIN\r\n"));
}

// The server's name against its certificate (RFC 9525): whole-label wildcards only, never the
// subject's CN, and a name written with its final dot is the same name.
TEST_F(SubmissionTest, HostNameChecks) {
    struct Certificate {
        const char* file;
        const char* commonName;
        QStringList dnsNames;
    };
    const Certificate partial{"partial", "m*.prova.test", {"m*.prova.test"}},
        wildcard{"wildcard", "*.prova.test", {"*.prova.test"}},
        cnOnly{"cn-only", "mail.prova.test", {}},
        exact{"exact", "mail.prova.test", {"mail.prova.test"}};
    const struct {
        const Certificate* certificate;
        const char* serverName;
        bool accepted;
    } cases[] = {
        {&partial, "mail.prova.test", false}, {&wildcard, "mail.prova.test", true},
        {&cnOnly, "mail.prova.test", false},  {&exact, "mail.prova.test", true},
        {&exact, "mail.prova.test.", true},   {&exact, "mail.prova.test..", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.certificate->file) + " " + c.serverName);
        const auto [cert, key] = authority->serverCertificate(
            c.certificate->file, c.certificate->commonName, c.certificate->dnsNames);
        ASSERT_FALSE(cert.isEmpty());
        SinkServer server;
        ASSERT_TRUE(server.startWith({"--tls", cert, key})) << server.error().toStdString();
        SmtpSocket socket;
        ASSERT_TRUE(socket.create());
        ASSERT_TRUE(socket.connectTo(htonl(INADDR_LOOPBACK), server.port(), win.pump));
        EXPECT_EQ(socket.startTls(c.serverName, win.pump, win.clock, 10000), c.accepted)
            << socket.tlsError().toStdString();
        if (!c.accepted)
            EXPECT_TRUE(socket.certificateRefused()) << socket.tlsError().toStdString();
    }
}

TEST_F(SubmissionTest, PortStoredAsADwordIsUsed) {
    serve({}, "", "");
    ASSERT_EQ(win.registry.setValue(RegistryStore::CurrentUser, ProgramSettings::kProgramKey,
                                    "Porta", REG_DWORD, RegistryStore::dwordData(sink.port())),
              RegStatus::Ok);
    EXPECT_EQ(Submission::read(settings).port, sink.port());
    EXPECT_EQ(Submission::storedPort(settings), QString::number(sink.port()));
    session->SendMimeConnect_Click();
    EXPECT_EQ(view.lastStatus(), "La e-mail è stata spedita correttamente!");
    EXPECT_EQ(sink.messageCount(), 1);
}

// Where `needles` occur in this process's writable memory, outside the needles themselves.
QStringList foundInMemory(const QList<QByteArray>& needles) {
    QStringList found;
    QFile maps("/proc/self/maps");
    const int mem = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (!maps.open(QIODevice::ReadOnly) || mem < 0)
        return {"cannot read the process's memory"};
    std::vector<char> chunk(1 << 20);
    const auto own = [&](quintptr at) {
        if (at - quintptr(chunk.data()) < chunk.size())
            return true;
        for (const QByteArray& n : needles)
            if (at - quintptr(n.constData()) < quintptr(n.size()))
                return true;
        return false;
    };
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 2 || !f[1].startsWith("rw"))
            continue;
        const QList<QByteArray> range = f[0].split('-');
        const quintptr from = range[0].toULongLong(nullptr, 16),
                       to = range[1].toULongLong(nullptr, 16);
        if (to - from > (quintptr(1) << 30))
            continue; // a sanitizer's reserved shadow, not data
        for (quintptr at = from; at < to; at += chunk.size() - 256) {
            const ssize_t n =
                ::pread(mem, chunk.data(), std::min<size_t>(chunk.size(), to - at), off_t(at));
            if (n <= 0)
                break;
            for (const QByteArray& needle : needles) {
                const QByteArrayView data(chunk.data(), n);
                for (qsizetype i = data.indexOf(needle); i >= 0; i = data.indexOf(needle, i + 1))
                    if (!own(at + quintptr(i)))
                        found << QString::fromLatin1(f.value(5, f[0])) + " +" +
                                     QString::number(at + quintptr(i) - from, 16);
            }
        }
    }
    ::close(mem);
    std::fill(chunk.begin(), chunk.end(), 0);
    return found;
}

// After a send with AUTH PLAIN and one with AUTH LOGIN, no form of the password the send made
// is left in the process's memory, and the process has been made one that leaves no core dump.
TEST_F(SubmissionTest, PasswordLeavesNoTraceInMemoryOrCoreDumps) {
    ASSERT_EQ(::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0), 0);
    // Here the password exists only as these bytes (the server gets them in hex).
    QByteArray secret =
        "Traccia-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    for (const char* mechanism : {"PLAIN", "LOGIN"}) {
        sink.stop();
        QStringList options = {"--tls", "--login", "mario:x", "--password-hex", secret.toHex()};
        if (mechanism == QByteArray("LOGIN"))
            options << "--no-plain";
        QString password = QString::fromUtf8(secret);
        serve(options, "TLS", "mario", authority, "localhost", password);
        wipeSecret(password);
        session->SendMimeConnect_Click();
        ASSERT_EQ(view.lastStatus(), "La e-mail è stata spedita correttamente!") << mechanism;
    }
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    // A process that is not dumpable may not read its own /proc/self/mem unless it is root:
    // dumpable again for the look, as a plain user runs the tests too.
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);

    QList<QByteArray> needles = {secret.toBase64(),
                                 (QByteArray("\0mario\0", 7) + secret).toBase64()};
    for (const QByteArray& ascii : QList<QByteArray>{secret, needles[0], needles[1]}) {
        QString wide = QString::fromLatin1(ascii);
        needles << QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
        wipeSecret(wide);
    }
    const QStringList found = foundInMemory(needles);
    EXPECT_TRUE(found.isEmpty()) << found.join(", ").toStdString();
    for (QByteArray& n : needles)
        wipeSecret(n);
    wipeSecret(secret);
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
}

} // namespace
