// Submission to a provider's server: STARTTLS or TLS from the first byte, and a login, against
// aiosmtpd with certificates of a test authority.
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "SendTestSupport.h"
#include "SmtpSession.h"

#include "TestWindowsDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

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
               TestAuthority* by = authority, const QString& certifiedName = "localhost") {
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
        ASSERT_TRUE(PasswordStore(&win.registry).save("localhost", "mario", kPassword, &error))
            << error.toStdString();
        session = std::make_unique<SmtpSession>(view, settings);
        session->setConnectivityTest([] { return true; });
    }

    void expectNoCredentialsIn(const QByteArray& text) {
        const QByteArray pw = kPassword.toUtf8();
        for (const QByteArray& secret : {pw, pw.toBase64(), ("\0mario\0" + pw).toBase64()})
            EXPECT_FALSE(text.contains(secret)) << text.toStdString();
    }
};

TEST_F(SubmissionTest, LoginDeliversWithAttachmentsIntact) {
    const struct {
        const char* name;
        QStringList options;
        const char* security;
    } cases[] = {
        {"STARTTLS, AUTH PLAIN", {"--starttls", "--login", "mario:" + kPassword}, "STARTTLS"},
        {"TLS from the first byte, AUTH LOGIN only",
         {"--tls", "--login", "mario:" + kPassword, "--no-plain"},
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
        view.statuses.clear();
        serve(c.options, c.security, "mario", c.by, c.certifiedName);
        session->SendMimeConnect_Click();
        EXPECT_EQ(view.lastStatus(), c.status);
        EXPECT_FALSE(session->isSending());
        EXPECT_EQ(sink.messageCount(), 0);
        const QByteArray received = TestWindowsDir::read(sink.receivedLog());
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
         "dalle impostazioni (Login...) o con velinor --salva-password."},
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
