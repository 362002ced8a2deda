// Delivery to a real SMTP server (aiosmtpd), checked with Python's email package.
#include "ProgramSettings.h"
#include "SendTestSupport.h"
#include "SmtpSession.h"

#include "TestWindowsDir.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

class DeliveryTest : public WindowsDirTest {
protected:
    static inline SinkServer* sink = nullptr;

    static void SetUpTestSuite() {
        sink = new SinkServer;
        if (!sink->start())
            ADD_FAILURE() << sink->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete sink;
        sink = nullptr;
    }

    RecordingSendView view;
    ProgramSettings settings{&win.registry};
    std::unique_ptr<SmtpSession> session;
    int before = 0;

    void SetUp() override {
        ASSERT_GT(sink->port(), 0);
        win.pump.hook = [] { QCoreApplication::processEvents(); };
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(ProgramSettings::kProgramKey);
        settings.Apri_Chiave_Programma();
        ASSERT_TRUE(settings.Scrivi_Impostazione("PausaAllegati", "0"));
        session = std::make_unique<SmtpSession>(view, settings);
        if (sink->port() != 25)
            session->setPort(sink->port());
        session->setConnectivityTest([] { return true; });
        view.jobFields.server = "127.0.0.1";
        view.jobFields.sender = "mario@rossi.it";
        view.jobFields.recipients = {"anna@bianchi.it"};
        view.jobFields.subject = "Ordine";
        view.jobFields.body = "Buongiorno";
        win.boxes.answer(MsgAnswer::No);
        before = sink->messageCount();
    }

    // Sends and returns how many messages arrived.
    int send() {
        session->SendMimeConnect_Click();
        EXPECT_EQ(view.lastStatus(), "La e-mail è stata spedita correttamente!");
        return sink->messageCount() - before;
    }
    QJsonObject received(int i) const { return sink->summary(before + i); }
    // The body text as a reader shows it, with LF line ends. In the plain layout the CR LF
    // before the final "." ends the body's last line.
    QString body(int i) const {
        const QJsonObject m = received(i);
        QString text = m["body"].toString();
        text.replace("\r\n", "\n");
        if (m["content_type"].toString() == "text/plain" && text.endsWith('\n'))
            text.chop(1);
        return text;
    }
    QByteArray raw(int i) const { return sink->raw(before + i); }

    static void expectWireClean(const QByteArray& raw) {
        EXPECT_FALSE(raw.contains('\0'));
        qsizetype line = 0;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            const auto c = static_cast<unsigned char>(raw[i]);
            ASSERT_LT(c, 128) << "8-bit byte at " << i;
            if (c == '\r') {
                ASSERT_TRUE(i + 1 < raw.size() && raw[i + 1] == '\n') << "bare CR at " << i;
                ++i;
                line = 0;
            } else {
                ASSERT_NE(c, '\n') << "bare LF at " << i;
                ASSERT_LE(++line, 998) << "long line at " << i;
            }
        }
    }
};

TEST_F(DeliveryTest, ThreeRecipientsThreeConnections) {
    view.jobFields.recipients = {"anna@bianchi.it", " bruno@verdi.it", "carla@neri.it"};
    ASSERT_EQ(send(), 3);
    const QStringList names = {"anna@bianchi.it", "bruno@verdi.it", "carla@neri.it"};
    QSet<QString> ids;
    for (int i = 1; i <= 3; ++i) {
        const QJsonObject m = received(i);
        EXPECT_EQ(m["helo"].toString(), "rossi.it");
        EXPECT_EQ(m["mail_from"].toString(), "mario@rossi.it");
        EXPECT_EQ(m["rcpt_tos"].toArray(), QJsonArray{names[i - 1]});
        EXPECT_EQ(m["to"].toString(), names[i - 1]);
        EXPECT_EQ(m["from"].toString(), "mario@rossi.it");
        EXPECT_EQ(m["subject"].toString(), "Ordine");
        EXPECT_EQ(body(i), "Buongiorno");
        EXPECT_TRUE(m["date_valid"].toBool());
        EXPECT_TRUE(m["message_id"].toString().endsWith("@rossi.it>"));
        ids.insert(m["message_id"].toString());
        EXPECT_EQ(m["defects"].toArray(), QJsonArray{});
        expectWireClean(raw(i));
    }
    EXPECT_EQ(ids.size(), 3);
}

TEST_F(DeliveryTest, PlainMessageKeepsItsLayout) {
    view.jobFields.body = "Riga uno\nRiga due";
    ASSERT_EQ(send(), 1);
    const QByteArray r = raw(1);
    const QList<QByteArray> lines = r.split('\n');
    ASSERT_GE(lines.size(), 7);
    EXPECT_EQ(lines[0], "From: mario@rossi.it\r");
    EXPECT_EQ(lines[1], "To: anna@bianchi.it\r");
    EXPECT_TRUE(lines[2].startsWith("Date: "));
    EXPECT_TRUE(lines[3].startsWith("Message-ID: <"));
    EXPECT_EQ(lines[4], "Subject: Ordine\r");
    EXPECT_EQ(r.mid(r.indexOf("Subject:")), "Subject: Ordine\r\n\r\nRiga uno\r\nRiga due\r\n");
}

TEST_F(DeliveryTest, AttachmentsArriveByteForByte) {
    auto* rng = QRandomGenerator::global();
    const auto random = [rng](int n) {
        QByteArray b(n, Qt::Uninitialized);
        for (char& c : b)
            c = char(rng->bounded(256));
        return b;
    };
    QByteArray binary = random(1000);
    binary[0] = '\0';
    binary[1] = '\xff';
    binary[999] = '\0';
    const std::vector<std::pair<QString, QByteArray>> files = {
        {"vuoto.txt", ""},
        {"uno.bin", "A"},
        {"due.bin", "AB"},
        {"tre.bin", "ABC"},
        {"riga.txt", QByteArray(57, 'z')},
        {"binario.dat", binary},
        {"grande.bin", random(3 * 1024 * 1024 + 7)},
    };
    for (const auto& [name, content] : files) {
        view.jobFields.attachments << win.write(name, content);
    }
    view.jobFields.hasAttachments = true;
    win.boxes.answers = {MsgAnswer::Yes, MsgAnswer::No}; // the large file, then the exit
    ASSERT_EQ(send(), 1);
    const QJsonObject m = received(1);
    EXPECT_EQ(m["content_type"].toString(), "multipart/mixed");
    EXPECT_EQ(m["body"].toString(), "Buongiorno");
    const QJsonArray parts = m["attachments"].toArray();
    ASSERT_EQ(parts.size(), qsizetype(files.size()));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QJsonObject p = parts[i].toObject();
        EXPECT_EQ(p["filename"].toString(), files[i].first);
        EXPECT_EQ(QByteArray::fromBase64(p["data"].toString().toLatin1()), files[i].second)
            << files[i].first.toStdString();
    }
    EXPECT_EQ(m["defects"].toArray(), QJsonArray{});
    expectWireClean(raw(1));
}

// Dot lines, long lines, every kind of line end and Italian text arrive as typed.
TEST_F(DeliveryTest, TextArrivesAsTyped) {
    const QString longLine(2500, QLatin1Char('L'));
    const struct {
        QString subject;
        QString body;
        QString expected;
        bool attachment;
    } cases[] = {
        {"Punti", ".\n.nascosto\n..due\nfine\n.", ".\n.nascosto\n..due\nfine\n.", false},
        {"Righe", "a\r\nb\rc\nd\n\re", "a\nb\nc\nd\n\ne", false},
        {"Lunga", "prima\n" + longLine + "\nultima", "prima\n" + longLine + "\nultima", false},
        {"Perché è già così", "Però: città, perché, più.\nÈ così!",
         "Però: città, perché, più.\nÈ così!", false},
        {"Perché allegato", "Caffè\n.\n" + longLine, "Caffè\n.\n" + longLine, true},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.subject.toStdString());
        before = sink->messageCount();
        view.jobFields.subject = k.subject;
        view.jobFields.body = k.body;
        view.jobFields.attachments.clear();
        view.jobFields.hasAttachments = k.attachment;
        if (k.attachment)
            view.jobFields.attachments << win.write(QStringLiteral("perché è.txt"), "contenuto");
        win.boxes.answers = {MsgAnswer::No};
        ASSERT_EQ(send(), 1);
        const QJsonObject m = received(1);
        EXPECT_EQ(m["subject"].toString(), k.subject);
        EXPECT_EQ(body(1), k.expected);
        if (k.attachment) {
            const QJsonArray parts = m["attachments"].toArray();
            ASSERT_EQ(parts.size(), 1);
            EXPECT_EQ(parts[0].toObject()["filename"].toString(), QStringLiteral("perché è.txt"));
        }
        EXPECT_EQ(m["defects"].toArray(), QJsonArray{});
        expectWireClean(raw(1));
    }
}

} // namespace
