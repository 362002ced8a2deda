// The sendmail interface's reading of a message: recipients, the Bcc removed, the fields added,
// and what it refuses.
#include "SendmailMessage.h"

#include <gtest/gtest.h>

using namespace tarv;

namespace {

TEST(SendmailMessage, AddressListsAsMailReadersWriteThem) {
    const std::pair<QString, QStringList> cases[] = {
        {"anna@b.it", {"anna@b.it"}},
        {"\"Rossi, Anna\" <anna@b.it>, bruno@c.it", {"anna@b.it", "bruno@c.it"}},
        {"carla@d.it (Carla, ufficio), <dario@e.it>", {"carla@d.it", "dario@e.it"}},
        {"Soci: anna@b.it, Bruno <bruno@c.it>;, elena@f.it",
         {"anna@b.it", "bruno@c.it", "elena@f.it"}},
        {"undisclosed-recipients:;", {}},
        {" , ", {}},
        {"anna", {"anna"}}, // kept, for the check to refuse
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(SendmailMessage::addresses(value), expected) << value.toStdString();
}

TEST(SendmailMessage, PreparedForSending) {
    const SendmailMessage m = SendmailMessage::prepare(
        "To: anna@b.it,\n Bruno <bruno@c.it>\nBcc: carla@d.it,\n\tdario@e.it\nCC: ANNA@b.it\n"
        "Subject: x\n\n.riga\nBcc: nel testo@x.it\n",
        {"elena@f.it", "anna@b.it"}, "cron@server.it", true);
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.recipients,
              QStringList({"anna@b.it", "bruno@c.it", "carla@d.it", "dario@e.it", "elena@f.it"}));
    const qsizetype date = m.bytes.indexOf("Date: ");
    ASSERT_GT(date, 0);
    EXPECT_EQ(m.bytes.left(date), "To: anna@b.it,\r\n Bruno <bruno@c.it>\r\nCC: ANNA@b.it\r\n"
                                  "Subject: x\r\nFrom: cron@server.it\r\n");
    EXPECT_TRUE(m.bytes.contains("\r\nMessage-ID: <"));
    EXPECT_TRUE(m.bytes.endsWith("\r\n\r\n.riga\r\nBcc: nel testo@x.it\r\n"));
}

TEST(SendmailMessage, EndAndRefusals) {
    const QByteArray longLine = "Subject: x\n\n" + QByteArray(999, 'a') + "\n";
    const struct {
        QByteArray input;
        bool dotEnds;
        QString error;     // start of the error; empty: accepted
        QByteArray ending; // of the bytes, when accepted
    } cases[] = {
        {"To: a@b.it\n\nuno\n.\ndue\n", true, "", "\r\n\r\nuno\r\n"},
        {"To: a@b.it\n\nuno\n.\ndue\n", false, "", "\r\n\r\nuno\r\n.\r\ndue\r\n"},
        {"To: a@b.it\n\nuno\r\n.\r\n", true, "", "\r\n\r\nuno\r\n"},
        {" To: a@b.it\n\nx\n", true, "il messaggio comincia con una riga di continuazione", ""},
        {"To: a@b.it\nnon un campo\n\nx\n", true, "riga di intestazione non valida", ""},
        {"To: a@b.it\n\n" + QByteArray("x\0y", 3), false, "il messaggio contiene byte nulli", ""},
        {"To: a@b.it\n" + longLine, true, "il messaggio ha una riga più lunga di 998 byte", ""},
        {"To: anna\n\nx\n", true, "indirizzo non valido: \"anna\"", ""},
        {"Subject: x\n\nx\n", true, "nessun destinatario", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.left(40).toStdString());
        const SendmailMessage m = SendmailMessage::prepare(c.input, {}, "m@r.it", c.dotEnds);
        if (c.error.isEmpty()) {
            EXPECT_EQ(m.error, "");
            EXPECT_TRUE(m.bytes.endsWith(c.ending)) << m.bytes.constData();
        } else {
            EXPECT_TRUE(m.error.startsWith(c.error)) << m.error.toStdString();
        }
    }
}

} // namespace
