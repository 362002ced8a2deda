// Element sequences, symbol values, check characters, widths and the layout frame of the three
// symbologies, drawn on a recording surface.
#include "QtPrinters.h"
#include "RecordingSurface.h"
#include "cls3Of9.h"
#include "clsCode128.h"
#include "clsEAN13.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>

using namespace tarv;
using tarv::test::RecordingSurface;

namespace {

template <typename T>
T configured(const QString& data, qint16 s = 1, qint32 align = 0, bool text = true) {
    T symbology;
    symbology.setCodice(data);
    symbology.setSpessore(s);
    symbology.setAllineamento(align);
    symbology.setMostraCodice(text);
    return symbology;
}

qint64 modules(const std::vector<BarElement>& elements) {
    qint64 n = 0;
    for (const BarElement& e : elements)
        n += e.modules;
    return n;
}

// Adjacent elements of one colour form one bar or space of the printed symbol.
std::vector<int> merged(const std::vector<BarElement>& elements) {
    std::vector<int> out;
    bool lastDark = true;
    for (const BarElement& e : elements) {
        if (!out.empty() && e.dark == lastDark)
            out.back() += e.modules;
        else
            out.push_back(e.modules);
        lastDark = e.dark;
    }
    return out;
}

QString withCode(QString text, int code) {
    return text.replace(QLatin1Char('_'), QChar(code));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Code 39

TEST(Code39, EveryTableCharacterIsThirteenModulesWithThreeWideOfNine) {
    const cls3Of9 c;
    const QString chars = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%+-./");
    std::set<std::vector<int>> seen;
    for (QChar ch : chars) {
        cls3Of9 one = configured<cls3Of9>(QString(ch));
        const std::vector<BarElement> all = one.elementi();
        // start (10 merged elements), the character, stop
        const std::vector<int> m = merged(all);
        ASSERT_EQ(m.size(), 30u) << ch.toLatin1();
        const std::vector<int> mine(m.begin() + 10, m.begin() + 20);
        EXPECT_EQ(std::accumulate(mine.begin(), mine.end(), 0), 13) << ch.toLatin1();
        EXPECT_EQ(mine.front(), 1) << "gap before " << ch.toLatin1();
        EXPECT_EQ(std::count(mine.begin() + 1, mine.end(), 2), 3) << ch.toLatin1();
        seen.insert(mine);
    }
    EXPECT_EQ(seen.size(), size_t(chars.size())) << "two characters share a pattern";
}

TEST(Code39, SymbolWidthsAndDroppedCharacters) {
    struct Case {
        QString data;
        qint64 modules;
        QString printed;
    };
    const Case cases[] = {
        {QString(), 26, QString()},
        {QStringLiteral("abc"), 65, QStringLiteral("ABC")},
        {QStringLiteral("A#B"), 52, QStringLiteral("A#B")},
        {QStringLiteral("!&*@a"), 39, QStringLiteral("!&*@A")},
        {QStringLiteral("BARCODE"), 117, QStringLiteral("BARCODE")},
        {QStringLiteral("àé€"), 26, QStringLiteral("ÀÉ€")},
        {withCode(QStringLiteral("A_B"), 1), 52, withCode(QStringLiteral("A_B"), 1)},
        {withCode(QStringLiteral("A_B"), 2), 52, withCode(QStringLiteral("A_B"), 2)},
        {withCode(QStringLiteral("_Z"), 0), 39, withCode(QStringLiteral("_Z"), 0)},
    };
    for (const Case& c : cases) {
        cls3Of9 sym = configured<cls3Of9>(c.data, 1, 3);
        EXPECT_EQ(modules(sym.elementi()), c.modules) << c.data.toStdString();
        RecordingSurface surface(1000, 100);
        sym.setPctDestinazione(&surface);
        ASSERT_TRUE(sym.DisegnaCodice());
        QString printed;
        for (const auto& t : surface.texts)
            printed += t.text;
        EXPECT_EQ(printed, c.printed) << c.data.toStdString();
    }
}

TEST(Code39, StartCharacterElementSequence) {
    cls3Of9 sym = configured<cls3Of9>(QString(), 2, 5, false);
    RecordingSurface surface(200, 40);
    sym.setPctDestinazione(&surface);
    ASSERT_TRUE(sym.DisegnaCodice());
    const QList<int> start = {1, -1, 1, 1, -1, 1, -2, 1, -2, 1, -1};
    const QList<int> runs = surface.runs(2);
    ASSERT_EQ(runs.size(), 22);
    EXPECT_EQ(runs.mid(0, 11), start);
    EXPECT_EQ(runs.mid(11), start);
    EXPECT_EQ(surface.boxes.front().x1, 0);
    EXPECT_EQ(surface.boxes.back().x2, 52);
}

TEST(Code39, BarcodeWithMarginIs147Pixels) {
    cls3Of9 sym = configured<cls3Of9>(QStringLiteral("BARCODE"), 1, 0);
    RecordingSurface surface(147, 60);
    sym.setPctDestinazione(&surface);
    EXPECT_EQ(sym.CalcolaLarghezza(), 147);
    ASSERT_TRUE(sym.DisegnaCodice());
    ASSERT_FALSE(surface.boxes.isEmpty());
    EXPECT_EQ(surface.boxes.front().x1, 30);
    EXPECT_EQ(surface.boxes.front().colour, DrawingSurface::kWhite);
    EXPECT_EQ(surface.boxes.back().x2, 147);
    EXPECT_EQ(surface.boxes.back().colour, DrawingSurface::kBlack);
}

// ---------------------------------------------------------------------------------------------
// Code 128

TEST(Code128, PatternTableIsTheStandardOne) {
    std::set<QString> seen;
    for (int v = 0; v <= 102; ++v) {
        const QString p = clsCode128::ModelloValore(qint16(v));
        ASSERT_EQ(p.size(), 6) << v;
        int sum = 0, bars = 0;
        for (int k = 0; k < 6; ++k) {
            sum += p.at(k).digitValue();
            if (k % 2 == 0)
                bars += p.at(k).digitValue();
        }
        EXPECT_EQ(sum, 11) << v;
        EXPECT_EQ(bars % 2, 0) << "bar modules of a symbol character are even, value " << v;
        seen.insert(p);
    }
    EXPECT_EQ(seen.size(), 103u);
    EXPECT_EQ(clsCode128::ModelloValore(0), QStringLiteral("212222"));
    EXPECT_EQ(clsCode128::ModelloValore(33), QStringLiteral("111323"));
    EXPECT_EQ(clsCode128::ModelloValore(102), QStringLiteral("411131"));
    EXPECT_EQ(clsCode128::ModelloValore(103), QString());
    EXPECT_EQ(clsCode128::ModelloValore(-1), QString());
}

TEST(Code128, CharacterLookups) {
    struct Case {
        QString text;
        int value;
        QString pattern;
    };
    const Case cases[] = {
        {QStringLiteral(" "), 0, QStringLiteral("212222")},
        {QStringLiteral("A"), 33, QStringLiteral("111323")},
        {QStringLiteral("AZ"), 33, QStringLiteral("111323")},
        {QStringLiteral("~"), 94, clsCode128::ModelloValore(94)},
        {QStringLiteral("\x7f"), 0, QString()},
        {QStringLiteral("\x1f"), 0, QString()},
        {QStringLiteral("é"), 0, QString()},
        {QString(), 0, QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clsCode128::ValoreCarattere(c.text), c.value) << c.text.toStdString();
        EXPECT_EQ(clsCode128::ModelloCarattere(c.text), c.pattern) << c.text.toStdString();
    }
}

TEST(Code128, SymbolValuesChecksAndModules) {
    struct Case {
        QString data;
        QString types;
        std::vector<int> values;
        int modules;
    };
    const Case cases[] = {
        {QStringLiteral("BARCODE"),
         QStringLiteral("AAAAAAA"),
         {104, 34, 33, 50, 35, 47, 36, 37, 71, 106},
         112},
        {QStringLiteral("12345678"),
         QStringLiteral("NNNNNNNN"),
         {105, 12, 34, 56, 78, 47, 106},
         79},
        {QStringLiteral("AB1234"),
         QStringLiteral("AANNNN"),
         {104, 33, 34, 99, 12, 34, 102, 106},
         90},
        {QStringLiteral("12345"), QStringLiteral("NNNNA"), {105, 12, 34, 100, 21, 54, 106}, 79},
        {QStringLiteral("12AB"), QStringLiteral("AAAA"), {104, 17, 18, 33, 34, 83, 106}, 79},
        {QStringLiteral("1234A12B"),
         QStringLiteral("NNNNAAAA"),
         {105, 12, 34, 100, 33, 17, 18, 34, 18, 106},
         112},
        {QString(), QString(), {105, 2, 106}, 35},
        {QStringLiteral("123"), QStringLiteral("AAA"), {104, 17, 18, 19, 8, 106}, 68},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clsCode128::stringaTipi(c.data), c.types) << c.data.toStdString();
        EXPECT_EQ(clsCode128::valoriSimbolo(c.data), c.values) << c.data.toStdString();
        const QString elements = clsCode128::Codifica(c.data);
        int sum = 0;
        for (QChar d : elements)
            sum += d.digitValue();
        EXPECT_EQ(sum, c.modules) << c.data.toStdString();
        EXPECT_TRUE(elements.endsWith(QStringLiteral("2331112")));
    }
}

TEST(Code128, RunRuleTypeStrings) {
    struct Case {
        const char* data;
        const char* types;
    };
    const Case cases[] = {
        {"1", "A"},         {"12", "AA"},         {"1234", "NNNN"},
        {"12345", "NNNNA"}, {"123456", "NNNNNN"}, {"A1234567", "ANNNNNNA"},
        {"A123B", "AAAAA"}, {"1234X5", "NNNNAA"}, {"X123456789", "XNNNNNNNNA"},
    };
    for (const Case& c : cases) {
        QString expected = QString::fromLatin1(c.types);
        expected.replace(QLatin1Char('X'), QLatin1Char('A'));
        EXPECT_EQ(clsCode128::stringaTipi(QString::fromLatin1(c.data)), expected) << c.data;
    }
}

TEST(Code128, LongDataKeepsAWideCheckSum) {
    // With sixteen-bit arithmetic this failed from the 34th letter Z on.
    for (int n : {33, 34, 200, 5000}) {
        const QString data(n, QLatin1Char('Z'));
        qint64 sum = 104;
        for (qint64 i = 1; i <= n; ++i)
            sum += i * 58;
        const std::vector<int> values = clsCode128::valoriSimbolo(data);
        ASSERT_EQ(values.size(), size_t(n) + 3);
        EXPECT_EQ(values[size_t(n) + 1], int(sum % 103)) << n;
    }
}

TEST(Code128, UnencodableCharactersAddNothing) {
    struct Case {
        QString data;
        std::vector<int> values;
    };
    const Case cases[] = {
        // A, B with a control character between: 104 + 33 + 2 * 34 = 205, check 102.
        {withCode(QStringLiteral("A_B"), 1), {104, 33, 34, 102, 106}},
        {QStringLiteral("AÈB"), {104, 33, 34, 102, 106}},
        // No switch to code set B in front of a character that is then dropped.
        {QStringLiteral("1234\u00e9"), {105, 12, 34, (105 + 12 + 2 * 34) % 103, 106}},
        {withCode(QStringLiteral("_"), 127), {104, 104 % 103, 106}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clsCode128::valoriSimbolo(c.data), c.values) << c.data.toStdString();
}

TEST(Code128, BarcodeDrawnWithMarginIs142Wide) {
    clsCode128 sym = configured<clsCode128>(QStringLiteral("barcode"), 1, 0);
    EXPECT_EQ(sym.Codice(), QStringLiteral("BARCODE"));
    EXPECT_EQ(sym.CalcolaLarghezza(), 142);
    RecordingSurface surface(142, 50);
    sym.setPctDestinazione(&surface);
    ASSERT_TRUE(sym.DisegnaCodice());
    EXPECT_EQ(surface.boxes.front().x1, 30);
    EXPECT_EQ(surface.boxes.front().colour, DrawingSurface::kBlack);
    EXPECT_EQ(surface.boxes.back().x2, 142);
    ASSERT_EQ(surface.texts.size(), 1);
    EXPECT_EQ(surface.texts.front().text, QStringLiteral("BARCODE"));
}

// ---------------------------------------------------------------------------------------------
// EAN-13

TEST(Ean13, CheckDigits) {
    struct Case {
        const char* code;
        int check;
    };
    const Case cases[] = {{"400638133393", 1}, {"590123412345", 7},  {"978030640615", 7},
                          {"000000000000", 0}, {"40063813339A", -1}, {"4006381333", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(clsEAN13::cifraControllo(QString::fromLatin1(c.code)), c.check) << c.code;
}

TEST(Ean13, ModuleRows) {
    const clsEAN13 ean;
    const QString row = ean.Codifica(QStringLiteral("400638133393"));
    ASSERT_EQ(row.size(), 113);
    EXPECT_TRUE(row.startsWith(QStringLiteral("00000000000101")));
    EXPECT_EQ(row.mid(14 + 42, 5), QStringLiteral("01010"));
    EXPECT_TRUE(row.endsWith(QStringLiteral("1010000000")));
    // Left half: 0 0 6 3 8 1 with parity A B A A B B; right half ends with the check digit 1.
    EXPECT_EQ(row.mid(14, 7), QStringLiteral("0001101"));               // 0, set A
    EXPECT_EQ(row.mid(21, 7), QStringLiteral("0100111"));               // 0, set B
    EXPECT_EQ(row.mid(14 + 42 + 5 + 35, 7), QStringLiteral("1100110")); // 1, set C

    // The 13th character is taken as given, a non-digit as 0.
    EXPECT_EQ(ean.Codifica(QStringLiteral("4006381333935")).mid(96, 7), QStringLiteral("1001110"));
    EXPECT_EQ(ean.Codifica(QStringLiteral("400638133393X")).mid(96, 7), QStringLiteral("1110010"));
    EXPECT_EQ(ean.Codifica(QStringLiteral("400638133X93")), QString());
    EXPECT_EQ(ean.Codifica(QStringLiteral("40063813339")), QString());
}

TEST(Ean13, LengthAndDigitRules) {
    struct Case {
        QString code;
        bool lengthMessage;
        int boxes;
        bool codePrinted;
    };
    const Case cases[] = {
        {QStringLiteral("400638133393"), false, 113, true},
        {QStringLiteral("4006381333935"), false, 113, true},
        {QStringLiteral("40063813339"), true, 0, false},
        {QStringLiteral("40063813339312"), true, 0, false},
        {QString(), true, 0, false},
        {QStringLiteral("40063813339A"), false, 0, true},
    };
    for (const Case& c : cases) {
        clsEAN13 ean = configured<clsEAN13>(c.code, 1, 0, true);
        RecordingSurface surface(400, 80);
        ean.setPctDestinazione(&surface);
        ASSERT_TRUE(ean.DisegnaCodice());
        EXPECT_EQ(surface.boxes.size(), c.boxes) << c.code.toStdString();
        ASSERT_EQ(surface.texts.size(), 1) << c.code.toStdString();
        const auto& t = surface.texts.front();
        if (c.lengthMessage) {
            EXPECT_EQ(t.text, QStringLiteral("LENGTH!"));
            EXPECT_EQ(t.x, (400 - 7 * 7) / 2);
            EXPECT_EQ(t.y, (80 - 13) / 2);
        } else {
            EXPECT_EQ(t.text, c.code);
        }
    }
}

TEST(Ean13, GeometryWithMargin) {
    clsEAN13 ean = configured<clsEAN13>(QStringLiteral("400638133393"), 1, 0, false);
    RecordingSurface surface(143, 70);
    ean.setPctDestinazione(&surface);
    EXPECT_EQ(ean.CalcolaLarghezza(), 143);
    ASSERT_TRUE(ean.DisegnaCodice());
    ASSERT_EQ(surface.boxes.size(), 113);
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(surface.boxes[k].colour, DrawingSurface::kWhite);
    EXPECT_EQ(surface.boxes[0].x1, 30);
    EXPECT_EQ(surface.boxes[11].x1, 41);
    EXPECT_EQ(surface.boxes[11].colour, DrawingSurface::kBlack);
    for (const auto& b : surface.boxes)
        EXPECT_EQ(b.y2, 70) << "bars run the full height without text";
}

// ---------------------------------------------------------------------------------------------
// The layout frame

TEST(LayoutFrame, CreationValuesAndSetterRules) {
    cls3Of9 c39;
    clsCode128 c128;
    clsEAN13 ean;
    EXPECT_EQ(c39.Spessore(), 3);
    EXPECT_EQ(c128.Spessore(), 3);
    EXPECT_EQ(ean.Spessore(), 0);
    EXPECT_TRUE(c39.MostraCodice());
    EXPECT_FALSE(ean.MostraCodice());
    EXPECT_EQ(c128.Allineamento(), 1);
    EXPECT_EQ(ean.Allineamento(), 0);
    EXPECT_EQ(c39.MessaggioErrore(), QStringLiteral("SIZE!"));
    EXPECT_EQ(ean.MessaggioErrore2(), QStringLiteral("LENGTH!"));

    for (qint16 s : {qint16(0), qint16(-5), qint16(-32768)}) {
        c128.setSpessore(s);
        EXPECT_EQ(c128.Spessore(), 1) << s;
    }
    c39.setMessaggioErrore(QStringLiteral("TROPPO"));
    EXPECT_EQ(c39.MessaggioErrore(), QStringLiteral("TROPPO"));
    c39.setMessaggioErrore(QString());
    EXPECT_EQ(c39.MessaggioErrore(), QStringLiteral("SIZE!"));
    ean.setMessaggioErrore2(QString());
    EXPECT_EQ(ean.MessaggioErrore2(), QStringLiteral("LENGTH!"));
}

TEST(LayoutFrame, AlignmentAndFitTest) {
    // "BARCODE" in Code 128 is 112 modules; with S = 2 the bars are 224 pixels.
    struct Case {
        qint32 align;
        int sw;
        qint64 x0; // -1: does not fit
    };
    const Case cases[] = {
        {0, 254, 30}, {0, 253, -1}, {1, 224, 0},  {1, 223, -1}, {1, 300, 38}, {1, 301, 38},
        {2, 300, 76}, {2, 224, 0},  {2, 223, -1}, {7, 224, 0},  {-1, 500, 0}, {32767, 225, 0},
    };
    for (const Case& c : cases) {
        clsCode128 sym = configured<clsCode128>(QStringLiteral("BARCODE"), 2, c.align, true);
        RecordingSurface surface(c.sw, 60);
        sym.setPctDestinazione(&surface);
        ASSERT_TRUE(sym.DisegnaCodice());
        const QString where = QStringLiteral("align %1 width %2").arg(c.align).arg(c.sw);
        if (c.x0 < 0) {
            EXPECT_TRUE(surface.boxes.isEmpty()) << where.toStdString();
            ASSERT_EQ(surface.texts.size(), 1);
            EXPECT_EQ(surface.texts.front().text, QStringLiteral("SIZE!"));
            EXPECT_EQ(surface.texts.front().x, (c.sw - 35) / 2) << where.toStdString();
            EXPECT_EQ(surface.texts.front().y, (60 - 13) / 2);
            continue;
        }
        ASSERT_FALSE(surface.boxes.isEmpty()) << where.toStdString();
        EXPECT_EQ(surface.boxes.front().x1, c.x0) << where.toStdString();
        EXPECT_EQ(surface.boxes.back().x2, c.x0 + 224) << where.toStdString();
        // The text is centred on W, which includes the margin for alignment 0.
        const qint64 w = 224 + (c.align == 0 ? 30 : 0);
        const qint64 x0 = c.align == 0 ? 30 : c.x0;
        ASSERT_EQ(surface.texts.size(), 1);
        EXPECT_EQ(surface.texts.front().x, x0 + (w - 7 * 7) / 2) << where.toStdString();
    }
}

TEST(LayoutFrame, BarHeightAndTextPosition) {
    struct Case {
        int sh;
        int lineHeight;
        bool text;
        qint64 h;
    };
    const Case cases[] = {
        {100, 13, true, 80},                        // 80.5 rounds to the even 80
        {100, 15, true, 78},                        // 77.5 rounds to the even 78
        {100, 14, true, 79},                        // 79 exactly
        {101, 13, true, 82},                        // 81.5 rounds to 82
        {100, 13, false, 100}, {10, 13, true, -10}, // 10 - 19.5 = -9.5 rounds to -10: no bar shows
    };
    for (const Case& c : cases) {
        clsCode128 sym = configured<clsCode128>(QStringLiteral("AB"), 1, 1, c.text);
        RecordingSurface surface(200, c.sh, c.lineHeight);
        sym.setPctDestinazione(&surface);
        EXPECT_EQ(sym.CalcolaAltezza(), c.h) << c.sh << "/" << c.lineHeight;
        ASSERT_TRUE(sym.DisegnaCodice());
        for (const auto& b : surface.boxes) {
            EXPECT_EQ(b.y1, 0);
            EXPECT_EQ(b.y2, c.h);
        }
        if (c.text) {
            ASSERT_EQ(surface.texts.size(), 1);
            EXPECT_DOUBLE_EQ(surface.texts.front().y, double(c.h) + c.lineHeight / 4.0);
        } else {
            EXPECT_TRUE(surface.texts.isEmpty());
        }
    }
}

TEST(LayoutFrame, CoordinatesBeyondSixteenBits) {
    clsCode128 sym = configured<clsCode128>(QStringLiteral("BARCODE"), 300, 0, false);
    RecordingSurface surface(40000, 10);
    sym.setPctDestinazione(&surface);
    ASSERT_TRUE(sym.DisegnaCodice());
    qint64 x = 30;
    for (const auto& b : surface.boxes) {
        ASSERT_EQ(b.x1, x);
        x = b.x2;
    }
    EXPECT_EQ(x, 30 + 112 * 300);

    // A width that no 32-bit count could hold still gives "SIZE!", not a wrapped fit.
    clsCode128 huge = configured<clsCode128>(QString(200000, QLatin1Char('Z')), 32767, 1, false);
    RecordingSurface small(1000, 10);
    huge.setPctDestinazione(&small);
    EXPECT_GT(huge.CalcolaLarghezza(), qint64(1) << 32);
    ASSERT_TRUE(huge.DisegnaCodice());
    EXPECT_TRUE(small.boxes.isEmpty());
    ASSERT_EQ(small.texts.size(), 1);
    EXPECT_EQ(small.texts.front().text, QStringLiteral("SIZE!"));
}

TEST(LayoutFrame, ArgumentOfDisegnaCodiceReplacesTheData) {
    cls3Of9 sym = configured<cls3Of9>(QStringLiteral("A"), 1, 1, true);
    RecordingSurface surface(400, 50);
    sym.setPctDestinazione(&surface);
    ASSERT_TRUE(sym.DisegnaCodice(QStringLiteral("xy")));
    EXPECT_EQ(sym.Codice(), QStringLiteral("XY"));
    ASSERT_TRUE(sym.DisegnaCodice(QString()));
    EXPECT_EQ(sym.Codice(), QStringLiteral("XY")) << "an empty argument keeps the data";
    EXPECT_EQ(surface.clears, 2) << "every drawing starts from a cleared surface";
    EXPECT_EQ(surface.texts.back().text, QStringLiteral("XY"));
}
