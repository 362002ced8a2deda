#include "Base64.h"

#include "TestWindowsDir.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

class Base64Test : public WindowsDirTest {
protected:
    Base64 b64;
    QByteArray encode(const QByteArray& in) {
        QByteArray out;
        b64.EncodeB64(in, out);
        return out;
    }
    QByteArray span(int c, const QByteArray& in) {
        QByteArray out;
        EXPECT_TRUE(b64.Span(c, in, out));
        return out;
    }
};

TEST_F(Base64Test, EncodesTheKnownVectors) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"Man", "TWFu"},
        {"Ma", "TWE="},
        {"M", "TQ=="},
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {QByteArray("\x00\xff\xfe", 3), "AP/+"},
        {QByteArray("\xfb\xff", 2), "+/8="},
    };
    for (const auto& [in, expected] : cases) {
        EXPECT_EQ(encode(in), expected) << in.toHex().constData();
        QByteArray back;
        EXPECT_TRUE(b64.DecodeB64(expected, back));
        EXPECT_EQ(back, in) << expected.constData();
    }
}

TEST_F(Base64Test, TablesFollowTheAlphabet) {
    const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int v = 0; v < 64; ++v) {
        EXPECT_EQ(b64.encodingTable()[v], static_cast<unsigned char>(alphabet[v]));
        EXPECT_EQ(b64.decodingTable()[static_cast<unsigned char>(alphabet[v])], v);
    }
    EXPECT_EQ(b64.decodingTable()['='], Base64::kPad);
    EXPECT_EQ(b64.decodingTable()['*'], Base64::kInvalid);
    EXPECT_EQ(b64.decodingTable()[233], Base64::kInvalid);
}

TEST_F(Base64Test, AgreesWithQtOnRandomData) {
    auto* rng = QRandomGenerator::global();
    for (int n : {1, 2, 3, 4, 56, 57, 58, 1000, 49151, 49152, 49153, 200001}) {
        QByteArray data(n, Qt::Uninitialized);
        for (char& c : data)
            c = char(rng->bounded(256));
        EXPECT_EQ(encode(data), data.toBase64()) << n;
    }
}

// Line breaking: full lines get CR LF, a shorter last line none, and nothing else is
// written, zero bytes least of all.
TEST_F(Base64Test, SpanShapes) {
    struct Case {
        int c;
        int n;
        int expectedSize;
        int lines;
    } cases[] = {
        {76, 152, 156, 2},
        {76, 77, 79, 1},
        {76, 100, 102, 1},
        {76, 76, 78, 1},
        {76, 75, 75, 0},
        {76, 0, 0, 0},
        {76, 20 + 76 * 5, 20 + 78 * 5, 5},
        {76, 72, 72, 0},
        {1, 3, 9, 3},
        {4, 10, 14, 2},
    };
    for (const Case& k : cases) {
        QByteArray in(k.n, 'x');
        for (int i = 0; i < k.n; ++i)
            in[i] = "ABCDEFGH"[i % 8];
        const QByteArray out = span(k.c, in);
        EXPECT_EQ(out.size(), k.expectedSize) << k.c << "/" << k.n;
        EXPECT_EQ(out.count("\r\n"), k.lines) << k.c << "/" << k.n;
        EXPECT_FALSE(out.contains('\0')) << k.c << "/" << k.n;
        const QList<QByteArray> parts = out.split('\n');
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            EXPECT_EQ(parts[i].size(), k.c + 1) << "line " << i; // with its CR
        QByteArray back;
        b64.Unspan(out, back);
        EXPECT_EQ(back, in);
    }
    QByteArray out;
    EXPECT_FALSE(b64.Span(0, "abc", out));
}

TEST_F(Base64Test, UnspanRemovesOnlyPairs) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"ab\r\ncd", "abcd"}, {"ab\ncd", "ab\ncd"}, {"ab\rcd", "ab\rcd"},
        {"\r\r\n\n", "\r\n"}, {"\r\n\r\n", ""},     {"x\r", "x\r"},
    };
    for (const auto& [in, expected] : cases) {
        QByteArray out;
        b64.Unspan(in, out);
        EXPECT_EQ(out, expected) << in.toHex().constData();
    }
}

TEST_F(Base64Test, DecodeRefusesWhatIsNotBase64) {
    for (const QByteArray& bad : {QByteArray("TWF"), QByteArray("TW=u"), QByteArray("TQ==TWFu"),
                                  QByteArray("T*Fu"), QByteArray("=WFu"), QByteArray("TWF\xe9"),
                                  QByteArray("TQ=\x01"), QByteArray("TWFu\r\n")}) {
        QByteArray out = "stale";
        EXPECT_FALSE(b64.DecodeB64(bad, out)) << bad.toHex().constData();
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST_F(Base64Test, Str2ByteArrayGivesTheTextsBytes) {
    QByteArray out = "stale";
    b64.Str2ByteArray(QString(), out);
    EXPECT_TRUE(out.isEmpty());
    b64.Str2ByteArray(QStringLiteral("è"), out);
    EXPECT_EQ(out, QByteArray("\xc3\xa8"));
}

// The window stays alive during a large encoding: the pump is reached all along, not
// only at the end.
TEST_F(Base64Test, LongWorkLetsEventsRun) {
    const QByteArray data(3 * 1024 * 1024, 'q');
    win.pump.count = 0;
    const QByteArray encoded = encode(data);
    EXPECT_GE(win.pump.count, 50);
    win.pump.count = 0;
    span(76, encoded);
    EXPECT_GE(win.pump.count, 50);
}

} // namespace
