// The control as a host sees it: properties, the drawing sequence, and the layout read back from
// the rendered picture area.
#include "ImageSurface.h"
#include "PictureBox.h"
#include "QtPrinters.h"
#include "tarv/ctlBarcode.h"

#include <QApplication>
#include <QFile>
#include <QPaintEvent>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace tarv;

namespace {

bool isDark(QRgb pixel) {
    return qGray(pixel) < 128;
}

// First and last dark column of a row, if any.
std::optional<std::pair<int, int>> darkSpan(const QImage& image, int y) {
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (isDark(image.pixel(x, y))) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    if (first < 0)
        return std::nullopt;
    return std::make_pair(first, last);
}

int darkRowsFromTop(const QImage& image, int x) {
    int y = 0;
    while (y < image.height() && isDark(image.pixel(x, y)))
        ++y;
    return y;
}

int lineHeight() {
    return QFontMetrics(ImageSurface::defaultFont()).height();
}

int barHeightWithText(int sh) {
    return int(std::nearbyint(sh - 1.5 * lineHeight()));
}

// What the surface shows for a message centred on an otherwise empty area.
QImage centredMessage(QSize size, const QString& text) {
    ImageSurface s(size);
    s.clear();
    s.setTextPosition((size.width() - s.textWidth(text)) / 2,
                      (size.height() - s.textHeight(text)) / 2);
    s.print(text);
    return s.image();
}

PictureBox* pictureOf(ctlBarcode& c) {
    return static_cast<PictureBox*>(c.pctBarcode());
}

struct Control {
    explicit Control(QSize size) {
        c.resize(size);
        c.DisegnaCodice();
    }
    ctlBarcode c;
};

} // namespace

TEST(Control, NewControlShowsCode128OfBarcode) {
    Control ctl(QSize(300, 100));
    ctlBarcode& c = ctl.c;
    EXPECT_EQ(c.TipoCodice(), 1);
    EXPECT_EQ(c.Codice(), QStringLiteral("BARCODE"));
    EXPECT_TRUE(c.MostraTesto());
    EXPECT_EQ(c.Allineamento(), 0);
    EXPECT_EQ(c.Spessore(), 0) << "creation never sets Spessore";
    EXPECT_EQ(c.pctBarcode()->objectName(), QStringLiteral("pctBarcode"));

    const QImage image = c.picture();
    ASSERT_EQ(image.size(), QSize(300, 100));
    const auto span = darkSpan(image, 0);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, 30);
    EXPECT_EQ(span->second, 30 + 112 - 1) << "112 one-pixel modules";
    EXPECT_EQ(darkRowsFromTop(image, 30), barHeightWithText(100));
}

TEST(Control, CreationDrawsOnlyThroughThePuts) {
    // The first drawing of a new control is Code 39 (TipoCodice still 0), the last Code 128.
    ctlBarcode c;
    c.resize(400, 80);
    c.setTipoCodice(0);
    const QImage code39 = c.picture();
    c.setTipoCodice(1);
    EXPECT_NE(code39, c.picture());
}

TEST(Control, PropertyRules) {
    Control ctl(QSize(300, 100));
    ctlBarcode& c = ctl.c;
    for (qint16 v : {qint16(0), qint16(-5), qint16(-32768)}) {
        EXPECT_TRUE(c.setSpessore(v));
        EXPECT_EQ(c.Spessore(), 1) << v;
    }
    EXPECT_TRUE(c.setSpessore(4));
    EXPECT_EQ(c.Spessore(), 4);
    EXPECT_TRUE(c.setAllineamento(-7));
    EXPECT_EQ(c.Allineamento(), -7);

    // Through the property system as a late-bound Qt host would.
    EXPECT_TRUE(c.setProperty("Codice", QStringLiteral("abc")));
    EXPECT_EQ(c.property("Codice").toString(), QStringLiteral("abc"));
    EXPECT_TRUE(c.setProperty("TipoCodice", QVariant::fromValue<qint16>(0)));
    EXPECT_EQ(c.TipoCodice(), 0);
}

TEST(Control, UnknownCodeTypeKeepsTheLastImage) {
    Control ctl(QSize(300, 100));
    ctlBarcode& c = ctl.c;
    const QImage before = c.picture();
    for (qint16 t : {qint16(3), qint16(-1), qint16(32767)}) {
        const BarcodeStatus s = c.setTipoCodice(t);
        EXPECT_TRUE(s);
        EXPECT_EQ(c.TipoCodice(), t);
        EXPECT_TRUE(c.setCodice(QStringLiteral("ALTRO")));
        EXPECT_EQ(c.picture(), before);
    }
}

TEST(Control, LowerCaseDataDrawsInUpperCase) {
    Control lower(QSize(300, 100)), upper(QSize(300, 100));
    for (qint16 type : {qint16(0), qint16(1)}) {
        lower.c.setTipoCodice(type);
        upper.c.setTipoCodice(type);
        lower.c.setCodice(QStringLiteral("barcode"));
        upper.c.setCodice(QStringLiteral("BARCODE"));
        EXPECT_EQ(lower.c.Codice(), QStringLiteral("barcode"));
        EXPECT_EQ(lower.c.picture(), upper.c.picture()) << type;
    }
}

// Where the dark columns of each symbology lie, for every alignment.
TEST(Control, DarkColumnsForEachAlignment) {
    struct Symbol {
        qint16 type;
        QString data;
        int modules;   // symbol width in modules
        int leadLight; // light modules before the first bar
        int tailLight; // light modules after the last bar
    };
    const Symbol symbols[] = {
        {0, QStringLiteral("BARCODE"), 117, 1, 0},
        {1, QStringLiteral("BARCODE"), 112, 0, 0},
        {2, QStringLiteral("400638133393"), 113, 11, 7},
    };
    for (const Symbol& sym : symbols) {
        for (qint16 s : {qint16(1), qint16(2), qint16(3)}) {
            const int w = sym.modules * s;
            for (qint16 align : {qint16(0), qint16(1), qint16(2), qint16(5)}) {
                for (int extra : {0, 1, 17}) {
                    const int sw = w + (align == 0 ? 30 : 0) + extra;
                    Control ctl(QSize(sw, 90));
                    ctlBarcode& c = ctl.c;
                    c.setTipoCodice(sym.type);
                    c.setCodice(sym.data);
                    c.setSpessore(s);
                    ASSERT_TRUE(c.setAllineamento(align));
                    int x0 = 0;
                    if (align == 0)
                        x0 = 30;
                    else if (align == 1)
                        x0 = (sw - w) / 2;
                    else if (align == 2)
                        x0 = sw - w;
                    const auto span = darkSpan(c.picture(), 0);
                    const std::string where = QStringLiteral("type %1 S %2 align %3 SW %4")
                                                  .arg(sym.type)
                                                  .arg(s)
                                                  .arg(align)
                                                  .arg(sw)
                                                  .toStdString();
                    ASSERT_TRUE(span) << where;
                    EXPECT_EQ(span->first, x0 + sym.leadLight * s) << where;
                    EXPECT_EQ(span->second, x0 + w - sym.tailLight * s - 1) << where;
                }
            }
        }
    }
}

TEST(Control, OnePixelTooNarrowShowsSize) {
    struct Case {
        qint16 type;
        QString data;
        qint16 align;
        int w;
    };
    const Case cases[] = {
        {0, QStringLiteral("BARCODE"), 0, 147},      {1, QStringLiteral("BARCODE"), 0, 142},
        {1, QStringLiteral("BARCODE"), 1, 112},      {1, QStringLiteral("BARCODE"), 2, 112},
        {2, QStringLiteral("400638133393"), 0, 143}, {2, QStringLiteral("400638133393"), 9, 113},
    };
    for (const Case& k : cases) {
        for (bool text : {true, false}) {
            Control fits(QSize(k.w, 80));
            fits.c.setTipoCodice(k.type);
            fits.c.setCodice(k.data);
            fits.c.setMostraTesto(text);
            fits.c.setAllineamento(k.align);
            ASSERT_TRUE(darkSpan(fits.c.picture(), 0)) << k.type << " at W = SW";

            Control narrow(QSize(k.w - 1, 80));
            narrow.c.setTipoCodice(k.type);
            narrow.c.setCodice(k.data);
            narrow.c.setMostraTesto(text);
            ASSERT_TRUE(narrow.c.setAllineamento(k.align));
            EXPECT_EQ(narrow.c.picture(), centredMessage(QSize(k.w - 1, 80), "SIZE!"))
                << k.type << " at W = SW + 1";
        }
    }
}

TEST(Control, EanOfWrongLengthShowsLength) {
    for (const char* code : {"", "40063813339", "40063813339312"}) {
        Control ctl(QSize(300, 90));
        ctl.c.setTipoCodice(2);
        ASSERT_TRUE(ctl.c.setCodice(QString::fromLatin1(code)));
        EXPECT_EQ(ctl.c.picture(), centredMessage(QSize(300, 90), "LENGTH!")) << code;
    }
}

TEST(Control, BarHeightWithAndWithoutText) {
    for (int sh : {40, 77, 100, 151}) {
        for (qint16 type : {qint16(0), qint16(1), qint16(2)}) {
            Control ctl(QSize(400, sh));
            ctl.c.setTipoCodice(type);
            ctl.c.setCodice(type == 2 ? QStringLiteral("400638133393") : QStringLiteral("AB"));
            ctl.c.setAllineamento(3);
            const int firstBar = type == 0 ? 1 : (type == 2 ? 11 : 0);
            EXPECT_EQ(darkRowsFromTop(ctl.c.picture(), firstBar), barHeightWithText(sh)) << sh;
            ctl.c.setMostraTesto(false);
            EXPECT_EQ(darkRowsFromTop(ctl.c.picture(), firstBar), sh) << sh;
        }
    }
}

TEST(Control, TextSitsCentredUnderTheSymbolWidth) {
    Control ctl(QSize(400, 100));
    const QImage image = ctl.c.picture();
    const int h = barHeightWithText(100);
    int first = image.width(), last = -1, top = image.height();
    for (int y = h; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isDark(image.pixel(x, y))) {
                first = std::min(first, x);
                last = std::max(last, x);
                top = std::min(top, y);
            }
    ASSERT_GE(last, 0) << "no text under the bars";
    // Centred on W = 142 from x = 30, so on x = 101 (15 pixels right of the bars' centre).
    const double centre = (first + last + 1) / 2.0;
    EXPECT_NEAR(centre, 30 + 142 / 2.0, 2.0);
    EXPECT_GT(top, h) << "a gap of a quarter of the text height separates text and bars";
}

TEST(Control, WideModulesPastSixteenBits) {
    Control ctl(QSize(34000, 20));
    ctl.c.setMostraTesto(false);
    ASSERT_TRUE(ctl.c.setSpessore(300));
    const auto span = darkSpan(ctl.c.picture(), 0);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, 30);
    EXPECT_EQ(span->second, 30 + 112 * 300 - 1);
}

TEST(Control, ResizeShowAndPaintRedraw) {
    ctlBarcode c;
    c.setAllineamento(2);
    c.resize(250, 80);
    c.show();
    QApplication::processEvents();
    EXPECT_EQ(c.pctBarcode()->geometry(), c.rect());
    ASSERT_EQ(c.picture().size(), QSize(250, 80));
    EXPECT_EQ(darkSpan(c.picture(), 0)->second, 249);

    c.resize(320, 60);
    QApplication::processEvents();
    EXPECT_EQ(c.pctBarcode()->geometry(), c.rect());
    ASSERT_EQ(c.picture().size(), QSize(320, 60));
    EXPECT_EQ(darkSpan(c.picture(), 0)->second, 319);
    const QImage drawn = c.picture();

    // A paint notification draws the symbol again on a surface that lost it.
    pictureOf(c)->surface().clear();
    ASSERT_NE(c.picture(), drawn);
    QPaintEvent paint(c.rect());
    QApplication::sendEvent(&c, &paint);
    EXPECT_EQ(c.picture(), drawn);

    // So does showing the control again.
    c.hide();
    pictureOf(c)->surface().clear();
    c.show();
    QApplication::processEvents();
    EXPECT_EQ(c.picture(), drawn);
}

TEST(Control, FailedDrawingReachesTheCaller) {
    Control ctl(QSize(300, 80));
    ctlBarcode& c = ctl.c;
    c.resize(20000, 20000); // more than the picture area will hold
    const BarcodeStatus s = c.setCodice(QStringLiteral("NUOVO"));
    EXPECT_FALSE(s);
    EXPECT_EQ(s.number, kErrOutOfMemory);
    EXPECT_FALSE(s.description.isEmpty());
    EXPECT_EQ(c.Codice(), QStringLiteral("NUOVO")) << "the value stays stored";
    EXPECT_EQ(c.lastStatus().number, kErrOutOfMemory);

    c.resize(300, 80);
    EXPECT_TRUE(c.DisegnaCodice());
    EXPECT_TRUE(darkSpan(c.picture(), 0));
}

TEST(Control, AnyDataAndAnyValuesLeaveASensibleImage) {
    QRandomGenerator rng(20261207);
    Control ctl(QSize(260, 70));
    ctlBarcode& c = ctl.c;
    const qint16 extremes[] = {-32768, -1, 0, 1, 2, 3, 4, 100, 32767};
    for (int round = 0; round < 400; ++round) {
        QString data;
        switch (round % 4) {
        case 0: { // arbitrary bytes, invalid UTF-8 included
            QByteArray bytes(int(rng.bounded(40)), '\0');
            for (char& b : bytes)
                b = char(rng.bounded(256));
            data = QString::fromUtf8(bytes);
            break;
        }
        case 1: { // arbitrary UTF-16 units, lone surrogates and NUL included
            const int n = int(rng.bounded(30));
            for (int i = 0; i < n; ++i)
                data.append(QChar(char16_t(rng.bounded(65536))));
            break;
        }
        case 2: // control characters
            for (int i = 0; i < 20; ++i)
                data.append(QChar(char16_t(rng.bounded(32))));
            break;
        default: // long data
            data = QString(int(rng.bounded(20000)) + 1, QChar(char16_t(32 + rng.bounded(95))));
            break;
        }
        const qint16 type = qint16(rng.bounded(5)) - 1;
        const qint16 align = extremes[rng.bounded(9)];
        const qint16 module = extremes[rng.bounded(9)];
        ASSERT_TRUE(c.setTipoCodice(type));
        ASSERT_TRUE(c.setCodice(data));
        ASSERT_TRUE(c.setMostraTesto(rng.bounded(2) == 1));
        ASSERT_TRUE(c.setAllineamento(align));
        ASSERT_TRUE(c.setSpessore(module));
        EXPECT_EQ(c.Codice(), data);
        EXPECT_EQ(c.picture().size(), QSize(260, 70));
    }
}

TEST(Control, ToolboxBitmapAndIdentifierResources) {
    const QImage bitmap = ctlBarcode::toolboxBitmap();
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), QSize(16, 15));
    EXPECT_LE(bitmap.colorCount(), 16);

    // Each a 4-byte length 16, then the identifier in its binary layout.
    struct Resource {
        const char* path;
        QByteArray bytes;
    };
    const Resource resources[] = {
        {":/tarv/barcode/_IID_CTLBARCODE", QByteArray::fromHex("10000000"
                                                               "6745c9949d102f488d292a78af9c62a1")},
        {":/tarv/barcode/_SRCIID_CTLBARCODE",
         QByteArray::fromHex("10000000"
                             "814f74bd2f1b084c94d5c922f72a4fed")},
    };
    for (const Resource& r : resources) {
        QFile file(QString::fromLatin1(r.path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << r.path;
        EXPECT_EQ(file.readAll(), r.bytes) << r.path;
    }
}

TEST(Control, TextIsMeasuredAsItIsDrawn) {
    // Latin-1 text goes glyph by glyph, anything else through the full text layout; either way
    // the printed text spans the measured width, give or take the glyphs' side bearings.
    const QString texts[] = {QStringLiteral("BARCODE"), QStringLiteral("ÀÉÎÕÜ 0123"),
                             QStringLiteral("ŁÓDŹ ΑΒΓ"), QStringLiteral("A\tB")};
    for (const QString& text : texts) {
        ImageSurface s(QSize(300, 40));
        s.clear();
        const int tw = s.textWidth(text);
        EXPECT_NEAR(tw, QFontMetrics(s.font()).horizontalAdvance(text), text.size() / 2 + 1)
            << text.toStdString();
        s.setTextPosition(20, 10);
        ASSERT_TRUE(s.print(text));
        int first = -1, last = -1;
        for (int x = 0; x < 300; ++x)
            for (int y = 0; y < 40; ++y)
                if (qGray(s.image().pixel(x, y)) < 200) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        ASSERT_GE(first, 0) << text.toStdString();
        EXPECT_NEAR(first, 20, 3) << text.toStdString();
        EXPECT_NEAR(last + 1, 20 + tw, 3) << text.toStdString();
    }
}

TEST(Control, TinyAndEmptyPictureAreas) {
    const QSize sizes[] = {{0, 0}, {1, 1}, {3, 200}, {200, 3}, {0, 50}, {50, 0}};
    for (const QSize& size : sizes) {
        for (qint16 type : {qint16(0), qint16(1), qint16(2)}) {
            Control ctl(size);
            ASSERT_TRUE(ctl.c.setTipoCodice(type));
            ASSERT_TRUE(ctl.c.setCodice(type == 2 ? QStringLiteral("400638133393")
                                                  : QStringLiteral("ÀB\u4e2dC")));
            ASSERT_TRUE(ctl.c.setAllineamento(1));
            EXPECT_EQ(ctl.c.picture().size(), size.isEmpty() ? QSize(0, 0) : size);
        }
    }
}
