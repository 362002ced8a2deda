// What the control draws, read back by a real decoder (ZXing-C++) with the format pinned.
#include "QtPrinters.h"
#include "tarv/ctlBarcode.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

// Decodes the picture as it would be printed on a label: with a light border of ten modules
// around the control, because alignments 1 and 2 may put the bars against the control's edge.
QString decode(const QImage& picture, int module, ZXing::BarcodeFormat format) {
    const int border = 10 * module;
    QImage label(picture.width() + 2 * border, picture.height() + 2 * border,
                 QImage::Format_Grayscale8);
    label.fill(255);
    for (int y = 0; y < picture.height(); ++y) {
        uchar* line = label.scanLine(y + border) + border;
        for (int x = 0; x < picture.width(); ++x)
            line[x] = uchar(qGray(picture.pixel(x, y)));
    }
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryRotate(false);
    const ZXing::ImageView view(label.constBits(), label.width(), label.height(),
                                ZXing::ImageFormat::Lum, int(label.bytesPerLine()));
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return QStringLiteral("<nothing read>");
    return QString::fromStdString(result.text());
}

QString randomFrom(QRandomGenerator& rng, const QString& alphabet, int minLength, int maxLength) {
    QString s;
    const int n = minLength + int(rng.bounded(maxLength - minLength + 1));
    for (int i = 0; i < n; ++i)
        s.append(alphabet.at(int(rng.bounded(int(alphabet.size())))));
    return s;
}

struct Symbology {
    qint16 type;
    ZXing::BarcodeFormat format;
    const char* name;
};

const Symbology kSymbologies[] = {
    {0, ZXing::BarcodeFormat::Code39, "Code 39"},
    {1, ZXing::BarcodeFormat::Code128, "Code 128"},
    {2, ZXing::BarcodeFormat::EAN13, "EAN-13"},
};

const QString kCode39Chars = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ -.$/+%");
// Characters Code 39 cannot draw; they vanish from the bars.
const QString kCode39Dropped = QStringLiteral("#@!&*é\u0001\u0002");

// Random data for a symbology and the text a reader must find in the symbol.
std::pair<QString, QString> randomData(QRandomGenerator& rng, qint16 type) {
    switch (type) {
    case 0: {
        QString data = randomFrom(rng, kCode39Chars + QStringLiteral("abcxyz"), 1, 16);
        if (rng.bounded(3) == 0)
            data.insert(int(rng.bounded(int(data.size()) + 1)),
                        kCode39Dropped.at(int(rng.bounded(int(kCode39Dropped.size())))));
        QString expected = data;
        for (QChar c : kCode39Dropped)
            expected.remove(c);
        return {data, expected.toUpper()};
    }
    case 1: {
        QString printable;
        for (char16_t c = 32; c <= 126; ++c)
            printable.append(QChar(c));
        // Mix text with runs of digits of every length, so both code sets and every switch occur.
        QString data;
        const int parts = 1 + int(rng.bounded(4));
        for (int p = 0; p < parts; ++p)
            data += rng.bounded(2) ? randomFrom(rng, printable, 1, 6)
                                   : randomFrom(rng, QStringLiteral("0123456789"), 1, 9);
        QString expected;
        for (QChar& c : data)
            c = c.toUpper();
        expected = data;
        if (rng.bounded(4) == 0) {
            const QString dropped = QStringLiteral("é\u0001\u007f\u00a0");
            data.insert(int(rng.bounded(int(data.size()) + 1)),
                        dropped.at(int(rng.bounded(int(dropped.size())))));
        }
        return {data, expected};
    }
    default: {
        const QString digits = randomFrom(rng, QStringLiteral("0123456789"), 12, 12);
        int sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += digits.at(i).digitValue() * (i % 2 ? 3 : 1);
        const QString full = digits + QString::number((10 - sum % 10) % 10);
        return {rng.bounded(2) ? digits : full, full};
    }
    }
}

} // namespace

TEST(DecoderRoundTrip, ReaderFindsTheDataForEveryLayout) {
    QRandomGenerator rng(5051);
    int decoded = 0;
    for (const Symbology& sym : kSymbologies) {
        for (qint16 module : {qint16(1), qint16(2), qint16(3)}) {
            for (qint16 align : {qint16(0), qint16(1), qint16(2)}) {
                for (bool text : {true, false}) {
                    for (int n = 0; n < 6; ++n) {
                        const auto [data, expected] = randomData(rng, sym.type);
                        ctlBarcode c;
                        c.resize(1200, 40 + 20 * module);
                        ASSERT_TRUE(c.setTipoCodice(sym.type));
                        ASSERT_TRUE(c.setCodice(data));
                        ASSERT_TRUE(c.setMostraTesto(text));
                        ASSERT_TRUE(c.setAllineamento(align));
                        ASSERT_TRUE(c.setSpessore(module));
                        EXPECT_EQ(decode(c.picture(), module, sym.format), expected)
                            << sym.name << " data \"" << data.toStdString() << "\" module "
                            << module << " align " << align << " text " << text;
                        ++decoded;
                    }
                }
            }
        }
    }
    EXPECT_EQ(decoded, 324);
}

TEST(DecoderRoundTrip, SymbolsAtTheExactWidthOfTheControl) {
    // The control as small as the symbol allows, with the bars against its edges.
    struct Case {
        qint16 type;
        QString data;
        int modules;
    };
    const Case cases[] = {
        {0, QStringLiteral("BARCODE"), 117},
        {1, QStringLiteral("BARCODE"), 112},
        {1, QStringLiteral("00123456789012345678"), 13 * 11 + 2},
        {2, QStringLiteral("400638133393"), 113},
    };
    for (const Case& k : cases) {
        for (qint16 module : {qint16(1), qint16(2)}) {
            ctlBarcode c;
            c.resize(k.modules * module, 60);
            c.setTipoCodice(k.type);
            c.setCodice(k.data);
            c.setSpessore(module);
            ASSERT_TRUE(c.setAllineamento(1));
            QString expected = k.data;
            if (k.type == 2)
                expected += QLatin1Char('1');
            EXPECT_EQ(decode(c.picture(), module, kSymbologies[k.type].format), expected)
                << k.data.toStdString() << " module " << module;
        }
    }
}

TEST(DecoderRoundTrip, LongCode128KeepsAValidCheckCharacter) {
    // Before the check sum was kept wide, 34 or more letters Z failed the drawing.
    for (int n : {33, 34, 60}) {
        const QString data(n, QLatin1Char('Z'));
        ctlBarcode c;
        c.resize(60 + (n + 3) * 11 * 2, 80);
        c.setSpessore(2);
        ASSERT_TRUE(c.setCodice(data));
        EXPECT_EQ(decode(c.picture(), 2, ZXing::BarcodeFormat::Code128), data) << n;
    }
}

TEST(DecoderRoundTrip, WrongEanCheckDigitIsDrawnAsGiven) {
    ctlBarcode c;
    c.resize(300, 80);
    c.setTipoCodice(2);
    ASSERT_TRUE(c.setCodice(QStringLiteral("4006381333935")));
    EXPECT_EQ(decode(c.picture(), 1, ZXing::BarcodeFormat::EAN13), QStringLiteral("<nothing read>"))
        << "a reader rejects the wrong check digit that the host asked for";
}
