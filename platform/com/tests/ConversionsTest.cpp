#include "Conversions.h"
#include "ComTypes.h"
#include "Variant.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace tarv::com;

namespace {

const NumberFormat kItalian{QLatin1Char(','), QLatin1Char('.')};
const NumberFormat kEnglish{QLatin1Char('.'), QLatin1Char(',')};
const NumberFormat kPlain{QLatin1Char('.'), QChar()};

TEST(DoubleToText, FifteenSignificantDigitsAsAutomationWritesThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        const char* point;
        const char* comma;
    } cases[] = {
        {1.0 / 3, "0.333333333333333", "0,333333333333333"},
        {2.0 / 3, "0.666666666666667", "0,666666666666667"},
        {1.0 / 30, "3.33333333333333E-02", "3,33333333333333E-02"},
        {1.005 * 100, "100.5", "100,5"},
        {100.49999999999999, "100.5", "100,5"},
        {3.141592653589793, "3.14159265358979", "3,14159265358979"},
        {1234.567890123456789, "1234.56789012346", "1234,56789012346"},
        {1234567890.1234567, "1234567890.12346", "1234567890,12346"},
        {1e15 + 0.5, "1E+15", "1E+15"},
        {1e15, "1E+15", "1E+15"},
        {1.234e16, "1.234E+16", "1,234E+16"},
        {999999999999999.0, "999999999999999", "999999999999999"},
        {5.6789e-11, "0.000000000056789", "0,000000000056789"},
        {5.6789e-12, "5.6789E-12", "5,6789E-12"},
        {0.56789, "0.56789", "0,56789"},
        {0.5, "0.5", "0,5"},
        {-0.25, "-0.25", "-0,25"},
        {-2.5, "-2.5", "-2,5"},
        {0.0, "0", "0"},
        {-0.0, "0", "0"},
        {12.0, "12", "12"},
        {100.0, "100", "100"},
        {1e-7, "0.0000001", "0,0000001"},
        {1.5e300, "1.5E+300", "1,5E+300"},
        {-1e-300, "-1E-300", "-1E-300"},
        {-1.25e-20, "-1.25E-20", "-1,25E-20"},
        {123456789.125, "123456789.125", "123456789,125"},
        {nan, "-1.#IND", "-1,#IND"},
        {inf, "1.#INF", "1,#INF"},
        {-inf, "-1.#INF", "-1,#INF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(doubleToText(c.value, QLatin1Char('.')), QString::fromLatin1(c.point)) << c.point;
        EXPECT_EQ(doubleToText(c.value, u","), QString::fromLatin1(c.comma)) << c.comma;
    }
}

TEST(TextToDouble, LocaleSeparatorsSignsExponentsAndRadixPrefixes) {
    struct Case {
        const char* text;
        const NumberFormat* format;
        HRESULT hr;
        double value;
    } cases[] = {
        {"1,5", &kItalian, S_OK, 1.5},
        {"1.234,5", &kItalian, S_OK, 1234.5},
        {"1.005", &kItalian, S_OK, 1005}, // the point groups thousands in Italian
        {"1.005", &kEnglish, S_OK, 1.005},
        {"1,005", &kEnglish, S_OK, 1005},
        {"  -2  ", &kPlain, S_OK, -2},
        {"+3", &kPlain, S_OK, 3},
        {"1e-07", &kPlain, S_OK, 1e-7},
        {"2D3", &kPlain, S_OK, 2000},
        {",5", &kItalian, S_OK, 0.5},
        {"&HFF", &kPlain, S_OK, 255},
        {"&hFFFF", &kPlain, S_OK, -1},
        {"&O17", &kPlain, S_OK, 15},
        {"1e400", &kPlain, DISP_E_OVERFLOW, 0},
        {"1e-400", &kPlain, S_OK, 0},
        {"", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {"abc", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {"1.5", &kPlain, S_OK, 1.5},
        {"1,5", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {"12x", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {"1e", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {"-", &kPlain, DISP_E_TYPEMISMATCH, 0},
        {".", &kPlain, DISP_E_TYPEMISMATCH, 0},
    };
    for (const Case& c : cases) {
        double v = -99;
        EXPECT_EQ(textToDouble(QString::fromUtf8(c.text), *c.format, &v), c.hr) << c.text;
        if (c.hr == S_OK)
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

TEST(ChangeType, ConversionsBetweenAutomationTypes) {
    struct Case {
        Variant from;
        VarType to;
        HRESULT hr;
        Variant expected;
    } cases[] = {
        {Variant(int32_t(40000)), VT_I2, DISP_E_OVERFLOW, Variant()},
        {Variant(int32_t(-32768)), VT_I2, S_OK, Variant(int16_t(-32768))},
        {Variant(2.5), VT_I2, S_OK, Variant(int16_t(2))}, // half to even
        {Variant(3.5), VT_I2, S_OK, Variant(int16_t(4))},
        {Variant(-2.5), VT_I4, S_OK, Variant(int32_t(-2))},
        {Variant(2147483647.4), VT_I4, S_OK, Variant(int32_t(2147483647))},
        {Variant(2147483647.6), VT_I4, DISP_E_OVERFLOW, Variant()},
        {Variant(int16_t(-1)), VT_UI1, DISP_E_OVERFLOW, Variant()},
        {Variant(int16_t(255)), VT_UI1, S_OK, Variant(uint8_t(255))},
        {Variant(std::nan("")), VT_I4, DISP_E_OVERFLOW, Variant()},
        {Variant(true), VT_I2, S_OK, Variant(int16_t(-1))},
        {Variant(true), VT_BSTR, S_OK, Variant("True")},
        {Variant(false), VT_BSTR, S_OK, Variant("False")},
        {Variant("true"), VT_BOOL, S_OK, Variant(true)},
        {Variant("Falso"), VT_BOOL, S_OK, Variant(false)},
        {Variant("0"), VT_BOOL, S_OK, Variant(false)},
        {Variant("2"), VT_BOOL, S_OK, Variant(true)},
        {Variant("forse"), VT_BOOL, DISP_E_TYPEMISMATCH, Variant()},
        {Variant(int16_t(0)), VT_BOOL, S_OK, Variant(false)},
        {Variant(0.1), VT_BOOL, S_OK, Variant(true)},
        {Variant(), VT_BSTR, S_OK, Variant("")},
        {Variant(), VT_I4, S_OK, Variant(int32_t(0))},
        {Variant(), VT_BOOL, S_OK, Variant(false)},
        {Variant::null(), VT_I4, DISP_E_TYPEMISMATCH, Variant()},
        {Variant::null(), VT_BSTR, DISP_E_TYPEMISMATCH, Variant()},
        {Variant::missing(), VT_I4, DISP_E_TYPEMISMATCH, Variant()},
        {Variant::null(), VT_VARIANT, S_OK, Variant::null()},
        {Variant("12"), VT_I2, S_OK, Variant(int16_t(12))},
        {Variant("1e10"), VT_I4, DISP_E_OVERFLOW, Variant()},
        {Variant("x"), VT_R8, DISP_E_TYPEMISMATCH, Variant()},
        {Variant(int32_t(-7)), VT_BSTR, S_OK, Variant("-7")},
        {Variant(int32_t(-2147483647 - 1)), VT_BSTR, S_OK, Variant("-2147483648")},
        {Variant(int32_t(1000000000)), VT_BSTR, S_OK, Variant("1000000000")},
        {Variant(int16_t(-32768)), VT_BSTR, S_OK, Variant("-32768")},
        {Variant(uint8_t(255)), VT_BSTR, S_OK, Variant("255")},
        {Variant(uint8_t(200)), VT_R8, S_OK, Variant(200.0)},
        {Variant(int16_t(1)), VT_DISPATCH, DISP_E_TYPEMISMATCH, Variant()},
    };
    for (const Case& c : cases) {
        Variant out;
        EXPECT_EQ(changeType(c.from, c.to, &out, kPlain), c.hr) << c.from.debugText().toStdString();
        if (c.hr == S_OK)
            EXPECT_EQ(out, c.expected)
                << c.from.debugText().toStdString() << " -> " << out.debugText().toStdString();
    }
}

TEST(ChangeType, ReadsThroughReferences) {
    int16_t n = 7;
    Variant out;
    ASSERT_EQ(changeType(Variant::byRef(&n), VT_BSTR, &out, kPlain), S_OK);
    EXPECT_EQ(out, Variant("7"));
    Variant inner(2.5);
    ASSERT_EQ(changeType(Variant::byRef(&inner), VT_BSTR, &out, kItalian), S_OK);
    EXPECT_EQ(out, Variant("2,5"));
}

// The user's locale decides the separators (LC_NUMERIC of the process).
TEST(UserNumberFormat, FollowsLcNumeric) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "it_IT.UTF-8"))
        GTEST_SKIP() << "locale it_IT.UTF-8 not installed";
    EXPECT_EQ(userNumberFormat().decimal, QLatin1Char(','));
    QString t;
    EXPECT_TRUE(toText(Variant(1.25), &t));
    EXPECT_EQ(t, QStringLiteral("1,25"));
    Variant d;
    EXPECT_EQ(changeType(Variant("3,75"), VT_R8, &d), S_OK);
    EXPECT_EQ(d, Variant(3.75));
    if (std::setlocale(LC_NUMERIC, "en_US.UTF-8")) {
        EXPECT_EQ(userNumberFormat().decimal, QLatin1Char('.'));
        EXPECT_TRUE(toText(Variant(1.25), &t));
        EXPECT_EQ(t, QStringLiteral("1.25"));
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Guid, BracedTextRoundTripAndRejection) {
    constexpr GUID g = makeGuid("{37CA076D-0768-49AE-9D4A-71111D985DC2}");
    EXPECT_EQ(g.toString(), QStringLiteral("{37CA076D-0768-49AE-9D4A-71111D985DC2}"));
    GUID parsed;
    ASSERT_TRUE(GUID::parse(QStringLiteral("{37ca076d-0768-49ae-9d4a-71111d985dc2}"), &parsed));
    EXPECT_EQ(parsed, g);
    EXPECT_EQ(g.Data1, 0x37CA076Du);
    EXPECT_EQ(g.Data4[7], 0xC2);
    for (const char* bad :
         {"37CA076D-0768-49AE-9D4A-71111D985DC2", "{37CA076D-0768-49AE-9D4A-71111D985DC}",
          "{37CA076D-0768-49AE-9D4A-71111D985DCG}", "{37CA076D+0768-49AE-9D4A-71111D985DC2}",
          "{37CA076D-0768-49AE-9D4A-71111D985DC2}x", ""})
        EXPECT_FALSE(GUID::parse(QString::fromLatin1(bad), &parsed)) << bad;
}

} // namespace
