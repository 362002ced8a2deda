#include "MessageText.h"
#include "MimeWriter.h"
#include "SmtpReplyBuffer.h"
#include "WSKSOCK.h"

#include "TestWindowsDir.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

TEST(MessageText, LineEndsBecomeCrLf) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a\nb", "a\r\nb"},         {"a\rb", "a\r\nb"},       {"a\r\nb", "a\r\nb"},
        {"a\n\r\nb", "a\r\n\r\nb"}, {"a\r\rb", "a\r\n\r\nb"}, {"\n", "\r\n"},
        {"a\r", "a\r\n"},           {"a\n\rb", "a\r\n\r\nb"}, {"", ""},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(MessageText::normalizeLineEnds(in), expected) << in.toHex().constData();
}

TEST(MessageText, DotStuffing) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a\r\n.\r\nb", "a\r\n..\r\nb"}, {"a\r\n.hidden\r\n", "a\r\n..hidden\r\n"},
        {"a\r\n..\r\n", "a\r\n...\r\n"}, {"a.b\r\n x.\r\n", "a.b\r\n x.\r\n"},
        {"a\r\n.", "a\r\n.."}, // a last line "." before the terminating CR LF . CR LF
        {".first", "..first"},           {"no dots", "no dots"},
    };
    for (const auto& [in, expected] : cases) {
        const QByteArray out = MessageText::dotStuff(in);
        EXPECT_EQ(out, expected) << in.constData();
        EXPECT_FALSE(out.contains('\0'));
    }
}

TEST(MessageText, SevenBitLimit) {
    const std::pair<QByteArray, bool> cases[] = {
        {"plain\r\ntext", true},
        {QByteArray(998, 'a'), true},
        {QByteArray(999, 'a'), false},
        {QByteArray(998, 'a') + "\r\n" + QByteArray(998, 'b'), true},
        {"caf\xc3\xa8", false},
        {QByteArray("nul\0here", 8), false},
        {"\x7f", true},
    };
    for (const auto& [in, fits] : cases)
        EXPECT_EQ(MessageText::fitsSevenBit(in), fits) << in.left(20).constData();
}

QByteArray qpDecode(const QByteArray& qp) {
    QByteArray out;
    for (qsizetype i = 0; i < qp.size(); ++i) {
        if (qp[i] == '=' && qp.mid(i + 1, 2) == "\r\n") {
            i += 2;
        } else if (qp[i] == '=') {
            out.append(char(qp.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            out.append(qp[i]);
        }
    }
    return out;
}

TEST(MessageText, QuotedPrintableKeepsLinesShortAndDecodesBack) {
    const QByteArray cases[] = {
        "Perch\xc3\xa9 no?\r\nGi\xc3\xa0 fatto.",
        QByteArray(3000, 'x') + "\r\nshort",
        "trailing blank \r\ntab\t\r\n",
        "a=b\r\n",
        QByteArray(2000, '\xe8'),
        ".dot first\r\n.\r\n",
    };
    for (const QByteArray& in : cases) {
        const QByteArray qp = MessageText::quotedPrintable(in);
        for (const QByteArray& line : qp.split('\n')) {
            EXPECT_LE(line.size(), 77) << line.constData(); // 76 and the CR
            EXPECT_FALSE(line.endsWith(" \r") || line.endsWith("\t\r"));
        }
        EXPECT_TRUE(MessageText::fitsSevenBit(qp));
        EXPECT_EQ(qpDecode(qp), in);
    }
}

TEST(MessageText, HeaderTextEncodesWhatIsNotPlainAscii) {
    EXPECT_EQ(MessageText::headerText(QStringLiteral("Ordine 42")), "Ordine 42");
    const QString subjects[] = {
        QStringLiteral("Perché è già così"), QString(200, QChar(0x00E8)),
        QStringLiteral("emoji \U0001F600 ") + QString(40, QChar(0x4E2D)),
        QString(1000, QLatin1Char('a')), // too long for one line
    };
    const QRegularExpression word(QStringLiteral("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]+)\\?=$"));
    for (const QString& s : subjects) {
        const QByteArray h = MessageText::headerText(s);
        QByteArray decoded;
        for (const QByteArray& w : h.split('\n')) {
            const QByteArray t = w.trimmed();
            EXPECT_LE(t.size(), 75);
            const auto m = word.match(QString::fromLatin1(t));
            ASSERT_TRUE(m.hasMatch()) << t.constData();
            decoded += QByteArray::fromBase64(m.captured(1).toLatin1());
        }
        EXPECT_EQ(QString::fromUtf8(decoded), s); // no character split between words
    }
}

TEST(MessageText, ControlsAndNames) {
    EXPECT_TRUE(MessageText::hasControl(QStringLiteral("a@b.it\r\nRCPT TO:<x@y>")));
    EXPECT_TRUE(MessageText::hasControl(QStringLiteral("a\tb")));
    EXPECT_TRUE(MessageText::hasControl(QString(QChar(0x2028))));
    EXPECT_FALSE(MessageText::hasControl(QStringLiteral("Mario Rossi <m@r.it>")));
    EXPECT_EQ(MessageText::withoutControls(QStringLiteral("a\r\nBcc: x")), "a  Bcc: x");
    EXPECT_EQ(MessageText::trimBlanks(QStringLiteral("  a b \t ")), "a b \t");
    EXPECT_EQ(MessageText::fileNameOf(QStringLiteral("/tmp/dir/ fattura.pdf ")), "fattura.pdf");
    EXPECT_EQ(MessageText::domainOf(QStringLiteral("mario@rossi.it")), "rossi.it");
    EXPECT_EQ(MessageText::domainOf(QStringLiteral("mario")), "mario");
    EXPECT_EQ(MessageText::extendedValue(QStringLiteral("è a;b.txt")), "UTF-8''%C3%A8%20a%3Bb.txt");
    EXPECT_EQ(MessageText::quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
}

TEST(MessageText, DateAndMessageId) {
    const QDateTime when(QDate(2026, 12, 7), QTime(6, 5, 9), QTimeZone(3600));
    EXPECT_EQ(MessageText::dateTime(when), "Mon, 07 Dec 2026 06:05:09 +0100");
    const QDateTime west(QDate(2026, 3, 1), QTime(23, 0, 0), QTimeZone(-(4 * 3600 + 1800)));
    EXPECT_EQ(MessageText::dateTime(west), "Sun, 01 Mar 2026 23:00:00 -0430");

    const QByteArray a = MessageText::messageId(QStringLiteral("mario@rossi.it"));
    const QByteArray b = MessageText::messageId(QStringLiteral("mario@rossi.it"));
    EXPECT_NE(a, b);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[a-z0-9.]+@rossi\\.it>$"))
                    .match(QString::fromLatin1(a))
                    .hasMatch())
        << a.constData();
    // A sender without a usable domain still gives an identifier that parses.
    const QByteArray c = MessageText::messageId(QStringLiteral("mario rossi"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[a-z0-9.]+@[A-Za-z0-9.-]+>$"))
                    .match(QString::fromLatin1(c))
                    .hasMatch())
        << c.constData();
}

// The layouts, byte for byte, for a message that 7-bit SMTP carries as it is.
TEST(MimeLayout, PlainAndMultipart) {
    const QByteArray plain = MimeWriter::composeText("m@r.it", "a@b.it", "Ordine", "Riga 1\nRiga 2",
                                                     false, "DATE", "<ID@r.it>");
    EXPECT_EQ(plain, "From: m@r.it\r\nTo: a@b.it\r\nDate: DATE\r\nMessage-ID: <ID@r.it>\r\n"
                     "Subject: Ordine\r\n\r\nRiga 1\r\nRiga 2");
    const QByteArray multi =
        MimeWriter::composeText("m@r.it", "a@b.it", "Ordine", "Testo", true, "DATE", "<ID@r.it>");
    EXPECT_EQ(multi, "From: m@r.it\r\nTo: a@b.it\r\nDate: DATE\r\nMessage-ID: <ID@r.it>\r\n"
                     "X-Mailer: LodvanSender v1.1 \r\nSubject: Ordine\r\nMime-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"NextMimePart\"\r\n"
                     "Content-Transfer-Encoding: 7bit\r\n\r\n"
                     "This is a multi-part message in MIME format.\r\n"
                     "--NextMimePart\r\n--NextMimePart\r\n\r\nTesto");
    EXPECT_EQ(MimeWriter::partHeader(QStringLiteral("a b.pdf")),
              "\r\n--NextMimePart\r\nContent-Type: application/octet-stream; name=\"a b.pdf\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"a b.pdf\"\r\n\r\n");
}

TEST(MimeLayout, TextThatNeedsEncoding) {
    // Accented body: quoted-printable, declared as the message's own headers...
    const QByteArray plain =
        MimeWriter::composeText("m@r.it", "a@b.it", "Perché", "Già", false, "D", "<I@r.it>");
    EXPECT_TRUE(plain.contains("Subject: =?UTF-8?B?UGVyY2jDqQ==?=\r\nMime-Version: 1.0\r\n"
                               "Content-Type: text/plain; charset=UTF-8\r\n"
                               "Content-Transfer-Encoding: quoted-printable\r\n\r\nGi=C3=A0"))
        << plain.constData();
    // ...or as the body part's headers in the multipart layout.
    const QByteArray multi =
        MimeWriter::composeText("m@r.it", "a@b.it", "S", QString(1200, 'x'), true, "D", "<I@r.it>");
    EXPECT_TRUE(multi.contains("--NextMimePart\r\n--NextMimePart\r\n"
                               "Content-Type: text/plain; charset=UTF-8\r\n"
                               "Content-Transfer-Encoding: quoted-printable\r\n\r\nxxx"));
    EXPECT_TRUE(MessageText::fitsSevenBit(multi));
    // Control characters of the subject never break the header.
    const QByteArray injected = MimeWriter::composeText("m@r.it", "a@b.it", "Hi\r\nBcc: x@y.z", "b",
                                                        false, "D", "<I@r.it>");
    EXPECT_TRUE(injected.contains("Subject: Hi  Bcc: x@y.z\r\n"));
    // File names.
    const QByteArray part = MimeWriter::partHeader(QStringLiteral("perché.txt"));
    EXPECT_TRUE(part.contains("name=\"=?UTF-8?B?cGVyY2jDqS50eHQ=?=\""));
    EXPECT_TRUE(part.contains("filename*=UTF-8''perch%C3%A9.txt"));
    EXPECT_TRUE(MimeWriter::partHeader(QStringLiteral("a\"b.txt")).contains("name=\"a\\\"b.txt\""));
    EXPECT_TRUE(MimeWriter::partHeader(QStringLiteral("a\nb")).contains("filename*=UTF-8''a%0Ab"));
}

TEST(MimeLayout, LargeFileQuestionUsesTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const std::pair<qint64, QString> cases[] = {
        {2097153, "2"},
        {2621440, "2,5"},
        {21102592, "20,13"},
        {3 * 1048576 + 5000, "3"},
        {qint64(4096) * 1048576, "4096"},
    };
    for (const auto& [bytes, size] : cases)
        EXPECT_EQ(MimeWriter::largeFileQuestion(bytes),
                  "Il File è " + size +
                      " MB Click Yes per procedere, No per saltare o Cancel "
                      "se non vuoi vedere questo messaggio in futuro");
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(MimeWriter::largeFileQuestion(2621440).contains("è 2.5 MB"));
    QLocale::setDefault(saved);
}

TEST(SmtpReplies, WholeReplies) {
    struct Case {
        QList<QByteArray> reads;
        QList<QByteArray> replies;
    } cases[] = {
        {{"220 ready\r\n"}, {"220 ready\r\n"}},
        {{"22", "0 re", "ady\r", "\n"}, {"220 ready\r\n"}},
        {{"220-one\r\n220-two\r\n", "220 three\r\n"}, {"220-one\r\n220-two\r\n220 three\r\n"}},
        {{"250 a\r\n354 b\r\n"}, {"250 a\r\n", "354 b\r\n"}},
        {{"250\r\n"}, {"250\r\n"}},
        {{"250-a\r\n"}, {}},
        {{"250 no line end"}, {}},
        {{"garbage\n"}, {"garbage\n"}},
    };
    for (const Case& k : cases) {
        SmtpReplyBuffer buffer;
        QList<QByteArray> got;
        for (const QByteArray& r : k.reads) {
            buffer.append(r);
            while (buffer.hasReply())
                got << buffer.takeReply();
        }
        EXPECT_EQ(got, k.replies) << k.reads.join("|").constData();
    }
    EXPECT_EQ(SmtpReplyBuffer::codeOf("250 ok"), 250);
    EXPECT_EQ(SmtpReplyBuffer::codeOf("25a ok"), -1);
    EXPECT_EQ(SmtpReplyBuffer::codeOf("OK"), -1);
    EXPECT_EQ(SmtpReplyBuffer::codeOf(" 250"), -1);
}

TEST(SocketModule, NamesAndAddresses) {
    EXPECT_EQ(WSKSOCK::ResolveHost("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(WSKSOCK::ResolveHost("10.1.2.3"), htonl(0x0A010203));
    EXPECT_EQ(WSKSOCK::ResolveHost("localhost"), htonl(0x7F000001));
    EXPECT_EQ(WSKSOCK::ResolveHost("no-such-host.invalid"), WSKSOCK::kNoAddress);
    EXPECT_EQ(WSKSOCK::ResolveHost(""), WSKSOCK::kNoAddress);
    EXPECT_EQ(WSKSOCK::AddressToText(htonl(0xC0A80001)), "192.168.0.1");
    EXPECT_EQ(WSKSOCK::HostAddressText("no-such-host.invalid"), "255.255.255.255");
    EXPECT_FALSE(WSKSOCK::LocalHostName().isEmpty());
}

// On line exactly when the host's own name gives an address other than loopback; a name
// that gives no address at all counts as on line.
TEST(SocketModule, OnLineUnlessTheOwnNameIsLoopback) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: each case runs under a host name of its own";
    const std::pair<const char*, int> cases[] = {{"localhost", 0}, {"no-such-host.invalid", 1}};
    for (const auto& [name, online] : cases) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (unshare(CLONE_NEWUTS) != 0 || sethostname(name, std::strlen(name)) != 0)
                _exit(2);
            _exit(WSKSOCK::Connessione_Attiva() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), online) << name;
    }
}

TEST(SocketModule, ErrorsCarryTheirWinsockTexts) {
    const std::tuple<int, int, const char*> cases[] = {
        {EAGAIN, 10035, "Operation would block."},
        {ECONNABORTED, 10053, "Software caused connection abort."},
        {ECONNRESET, 10054, "Connection reset by peer."},
        {EPIPE, 10054, "Connection reset by peer."},
        {ETIMEDOUT, 10060, "Connection timed out."},
        {ECONNREFUSED, 10061, "Connection refused."},
        {EHOSTUNREACH, 10065, "No route to host."},
        {ENETUNREACH, 10051, "Network is unreachable."},
        {EMFILE, 10024, "Too many open files."},
        {EACCES, 10013, "Permission Denied."},
    };
    for (const auto& [posix, winsock, text] : cases) {
        EXPECT_EQ(WSKSOCK::winsockError(posix), winsock) << posix;
        EXPECT_EQ(WSKSOCK::SocketErrorText(winsock), QString::fromLatin1(text));
    }
    EXPECT_EQ(WSKSOCK::SocketErrorText(0), "");
    EXPECT_EQ(WSKSOCK::SocketErrorText(10000), "");
    EXPECT_EQ(WSKSOCK::SocketErrorText(11001), "Host not found.");
    EXPECT_EQ(WSKSOCK::SocketErrorText(10101), "Disconnect.");
}

} // namespace
