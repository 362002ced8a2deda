// Contabili and Math through the automation interface: how variants cross to the logic and
// how its results and errors come back.
#include "Contabili.h"
#include "Math.h"

#include "Conversions.h"
#include "DispatchCall.h"
#include "TestWindowsDir.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

class BoundaryTest : public WindowsDirTest {
protected:
    ComPtr<IDispatch> make(const ClassInfo& c) {
        ComPtr<IDispatch> d;
        EXPECT_EQ(c.create(IID_IDispatch, d.putVoid()), S_OK);
        return d;
    }
};

TEST_F(BoundaryTest, ContabiliAnswersAsBooleansAndWarnsOnlyForVatNumbers) {
    auto c = make(Contabili::classInfo());
    Variant r;
    ASSERT_EQ(call(c.get(), QStringLiteral("CheckCodFiscale"), {Variant("RSSMRA85T10A562S")}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(true));
    ASSERT_EQ(call(c.get(), QStringLiteral("checkcodfiscale"), {Variant("RSSMRA85T10A562T")}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(false));
    EXPECT_TRUE(win.boxes.shown.empty());
    ASSERT_EQ(call(c.get(), QStringLiteral("Controlla_PI"), {Variant("00743110157")}, &r), S_OK);
    EXPECT_EQ(r, Variant(true));
    ASSERT_EQ(call(c.get(), QStringLiteral("Controlla_PI"), {Variant("00743110158")}, &r), S_OK);
    EXPECT_EQ(r, Variant(false));
    ASSERT_EQ(win.boxes.shown.size(), 1u);
    EXPECT_EQ(win.boxes.shown[0].text, QStringLiteral("Partita IVA errata!"));
    EXPECT_EQ(win.boxes.shown[0].title, QStringLiteral("Controllo Partita IVA"));
    EXPECT_EQ(win.boxes.beeps, 1);
    // A number given where the string is expected is converted to its text.
    ASSERT_EQ(call(c.get(), QStringLiteral("Controlla_PI"), {Variant(int16_t(0))}, &r), S_OK);
    EXPECT_EQ(r, Variant(true));
    // The by-reference argument is not changed.
    QString code = QStringLiteral("rssmra85t10a562s");
    ASSERT_EQ(call(c.get(), QStringLiteral("CheckCodFiscale"), {Variant::byRef(&code)}, &r), S_OK);
    EXPECT_EQ(code, QStringLiteral("rssmra85t10a562s"));
    ErrorInfo e;
    EXPECT_EQ(call(c.get(), QStringLiteral("CheckCodFiscale"), {Variant::null()}, &r, &e),
              DISP_E_TYPEMISMATCH);
}

TEST_F(BoundaryTest, MathResultsKeepTheirAutomationTypes) {
    auto m = make(Math::classInfo());
    Variant r;
    // Literal types as a Basic host passes them: Integer for small whole numbers.
    ASSERT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant(1.005), Variant(int16_t(2)), Variant(int16_t(1))}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(1.01));
    double x = -2.5;
    int16_t dec = 0;
    uint8_t tipo = 1;
    ASSERT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant::byRef(&x), Variant::byRef(&dec), Variant::byRef(&tipo)}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(-3.0));
    EXPECT_EQ(x, -2.5);
    ASSERT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant::null()}, &r), S_OK);
    EXPECT_EQ(r, Variant(uint8_t(0)));
    ASSERT_EQ(call(m.get(), QStringLiteral("Intero"), {Variant(int32_t(12))}, &r), S_OK);
    EXPECT_EQ(r, Variant(int32_t(12)));
    ASSERT_EQ(call(m.get(), QStringLiteral("Intero"), {Variant::null()}, &r), S_OK);
    EXPECT_TRUE(r.isNull());
    ErrorInfo e;
    EXPECT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant(1e30), Variant(int16_t(2)), Variant(int16_t(1))}, &r, &e),
              DISP_E_OVERFLOW);
    EXPECT_EQ(e.basicNumber(), 6);
    EXPECT_EQ(e.source, QStringLiteral("TarvUtility.Math"));
    EXPECT_TRUE(r.isEmpty());
    EXPECT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant(1.0), Variant(int32_t(40000)), Variant(int16_t(1))}, &r, &e),
              DISP_E_OVERFLOW);
    EXPECT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant(1.0), Variant(int16_t(2)), Variant(int16_t(256))}, &r, &e),
              DISP_E_OVERFLOW);
    EXPECT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant(m.get())}, &r, &e),
              DISP_E_TYPEMISMATCH);
}

TEST_F(BoundaryTest, MathReadsTextInTheUsersLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "it_IT.UTF-8"))
        GTEST_SKIP() << "locale it_IT.UTF-8 not installed";
    auto m = make(Math::classInfo());
    Variant r;
    EXPECT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant("3,25")}, &r), S_OK);
    EXPECT_EQ(r, Variant(uint8_t(2)));
    EXPECT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant(1.125)}, &r), S_OK);
    EXPECT_EQ(r, Variant(uint8_t(3)));
    EXPECT_EQ(call(m.get(), QStringLiteral("Intero"), {Variant("-12,7")}, &r), S_OK);
    EXPECT_EQ(r, Variant("-12"));
    // A string for the Double argument is read in the locale too.
    EXPECT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant("8,325"), Variant(int16_t(2)), Variant(int16_t(1))}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(8.33));
    const QString longFraction = QStringLiteral("0,") + QString(256, QLatin1Char('1'));
    ErrorInfo e;
    EXPECT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant(longFraction)}, &r, &e),
              DISP_E_OVERFLOW);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// Math reads a double through the text the component layer writes for it (15 significant
// digits, the locale's comma, an exponent outside the plain range): the decimals NDec counts
// and the integer part Intero gives are those of that text, whatever the value.
TEST_F(BoundaryTest, MathReadsDoublesAsTheComponentLayerWritesThem) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "it_IT.UTF-8"))
        GTEST_SKIP() << "locale it_IT.UTF-8 not installed";
    struct Case {
        double value;
        int decimals;      // NDec
        const char* whole; // Intero as text; nullptr: the number itself comes back
    } cases[] = {
        {0.5, 1, "0"},                         // 0,5
        {1.0 / 3, 15, "0"},                    // 0,333333333333333
        {2.0 / 3, 15, "0"},                    // 0,666666666666667
        {1.005 * 100, 1, "100"},               // 100,5 (100.49999999999999 in binary)
        {1234567890.1234567, 5, "1234567890"}, // 1234567890,12346
        {1e15, 0, nullptr},                    // 1E+15
        {1e15 + 0.5, 0, nullptr},              // 1E+15
        {999999999999999.0, 0, nullptr},       // 999999999999999
        {5.6789e-11, 15, "0"},                 // 0,000000000056789
        {5.6789e-12, 8, "5"},                  // 5,6789E-12
        {-0.07, 2, "-0"},                      // -0,07
        {123456789.125, 3, "123456789"},       // 123456789,125
        {1e-7, 7, "0"},                        // 0,0000001
        {-1.25e-20, 6, "-1"},                  // -1,25E-20
        {1.5e300, 6, "1"},                     // 1,5E+300
        {8.325, 3, "8"},                       // 8,325
        {0.0, 0, nullptr},                     // 0
        {100.0, 0, nullptr},                   // 100
        {4.35 * 100, 0, nullptr},              // 435 (434.99999999999994 in binary)
    };
    auto m = make(Math::classInfo());
    Variant r;
    for (const Case& c : cases) {
        ASSERT_EQ(call(m.get(), QStringLiteral("NDec"), {Variant(c.value)}, &r), S_OK) << c.value;
        EXPECT_EQ(r, Variant(uint8_t(c.decimals))) << c.value;
        ASSERT_EQ(call(m.get(), QStringLiteral("Intero"), {Variant(c.value)}, &r), S_OK) << c.value;
        EXPECT_EQ(r, c.whole ? Variant(c.whole) : Variant(c.value)) << c.value;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// An argument the member does not change comes back as the caller passed it, type included:
// Round changes none of its arguments.
TEST_F(BoundaryTest, ArgumentsAMemberLeavesAloneKeepTheirType) {
    auto m = make(Math::classInfo());
    Variant numero("15"), decimali(0.0), tipo(int32_t(1));
    Variant r;
    ASSERT_EQ(call(m.get(), QStringLiteral("Round"),
                   {Variant::byRef(&numero), Variant::byRef(&decimali), Variant::byRef(&tipo)}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(15.0));
    EXPECT_EQ(numero, Variant("15"));
    EXPECT_EQ(decimali, Variant(0.0));
    EXPECT_EQ(tipo, Variant(int32_t(1)));
}

} // namespace
