#include "Decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

using namespace tarv;

namespace {

Decimal dec(const char* text) {
    const Checked<Decimal> d = Decimal::fromText(QString::fromLatin1(text));
    EXPECT_TRUE(d.ok()) << text;
    return d.value();
}

std::string text(const Checked<Decimal>& d) {
    return d.ok() ? d.value().toText().toStdString() : "error " + std::to_string(d.error().number);
}

const Decimal kMax = Decimal::fromParts(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, false).value();

} // namespace

TEST(DecimalFromDouble, KeepsFifteenSignificantDigits) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {1.005 * 100, "100.5"}, // 100.49999999999999 as a double
        {8.325 * 100, "832.5"}, // 832.4999999999999
        {1.15 * 10, "11.5"},    // 11.499999999999998
        {0.57 * 100, "57"},     // 56.99999999999999
        {0.07 * 100, "7"},      // 7.000000000000001
        {1234567890.1234567, "1234567890.12346"},
        {1e15 + 0.5, "1000000000000000"},
        {123456789012344.5, "123456789012344"}, // exact tie, even stays
        {123456789012345.5, "123456789012346"}, // exact tie, odd goes up
        {999999999999999.5, "1000000000000000"},
        {99999999999999.5, "99999999999999.5"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {1e-28, "0.0000000000000000000000000001"},
        {1.23456789e-20, "0.0000000000000000000123456789"},
        {4e-29, "0"},
        {-0.0, "0"},
        {7.9e28, "79000000000000000000000000000"},
        {1e20 / 3, "33333333333333300000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(Decimal::fromDouble(c.value)), c.expected) << c.value;
}

TEST(DecimalFromDouble, OutOfRangeIsOverflow) {
    for (double v : {8e28, -8e28, 1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
        const Checked<Decimal> d = Decimal::fromDouble(v);
        ASSERT_FALSE(d.ok()) << v;
        EXPECT_EQ(d.error().number, 6);
        EXPECT_EQ(d.error().description, QStringLiteral("Overflow"));
        EXPECT_EQ(d.error().hresult, 0x8002000Au);
    }
}

TEST(DecimalArithmetic, ExactResultsAndScales) {
    const Checked<Decimal> sum = dec("1.00").add(dec("1"));
    EXPECT_EQ(text(sum), "2");
    EXPECT_EQ(sum.value().scale(), 2); // the common scale is kept
    EXPECT_EQ(text(dec("0.1").add(dec("0.2"))), "0.3");
    EXPECT_EQ(text(dec("1").subtract(dec("3"))), "-2");
    EXPECT_EQ(text(dec("-1.5").subtract(dec("-1.5"))), "0");
    EXPECT_EQ(text(dec("-2.25").add(dec("1"))), "-1.25");
    EXPECT_EQ(text(dec("1.5").multiply(dec("-1.5"))), "-2.25");
    EXPECT_EQ(text(dec("1").divide(dec("3"))), "0.3333333333333333333333333333");
    EXPECT_EQ(text(dec("2").divide(dec("3"))), "0.6666666666666666666666666667");
    EXPECT_EQ(text(dec("-2").divide(dec("3"))), "-0.6666666666666666666666666667");
    EXPECT_EQ(text(dec("10").divide(dec("4"))), "2.5");
    EXPECT_EQ(text(dec("100.5").divide(dec("0.01"))), "10050");
    EXPECT_EQ(text(dec("101").divide(dec("100"))), "1.01");
    EXPECT_EQ(text(dec("1").divide(dec("8"))), "0.125");
    // Beyond 96 bits digits go from the scale, rounding half up.
    EXPECT_EQ(text(dec("0.0000000000001").multiply(dec("0.0000000000000005"))),
              "0.0000000000000000000000000001");
    EXPECT_EQ(text(dec("7.9228162514264337593543950335").multiply(dec("10"))),
              "79.228162514264337593543950335");
    EXPECT_EQ(text(kMax.subtract(dec("0.4"))), "79228162514264337593543950335");
}

TEST(DecimalArithmetic, OverflowAndDivisionByZeroAreErrors) {
    EXPECT_EQ(text(kMax.add(dec("1"))), "error 6");
    EXPECT_EQ(text(kMax.add(dec("0.5"))), "error 6"); // rounds up past the range
    EXPECT_EQ(text(kMax.negated().subtract(dec("1"))), "error 6");
    EXPECT_EQ(text(kMax.multiply(dec("2"))), "error 6");
    EXPECT_EQ(text(dec("10000000000000000000000000000").divide(dec("0.1"))), "error 6");
    const Checked<Decimal> byZero = dec("1").divide(dec("0.000"));
    ASSERT_FALSE(byZero.ok());
    EXPECT_EQ(byZero.error().number, 11);
    EXPECT_EQ(text(Decimal::fromText(u"100000000000000000000000000000")), "error 6");
    EXPECT_EQ(text(Decimal::fromText(u"1e5")), "error 13");
    EXPECT_EQ(text(Decimal::fromText(u"")), "error 13");
    EXPECT_EQ(text(Decimal::fromText(u"-.")), "error 13");
}

TEST(DecimalArithmetic, CompareTruncateAndConvert) {
    EXPECT_EQ(dec("1.0").compare(dec("1.00")), 0);
    EXPECT_EQ(dec("-0").compare(dec("0")), 0);
    EXPECT_EQ(dec("-1").compare(dec("0.5")), -1);
    EXPECT_EQ(dec("-1").compare(dec("-2")), 1);
    EXPECT_EQ(kMax.compare(dec("79228162514264337593543950334")), 1);
    EXPECT_EQ(dec("-12.7").truncated().toText(), QStringLiteral("-12"));
    EXPECT_EQ(dec("0.999").truncated().toText(), QStringLiteral("0"));
    EXPECT_EQ(dec("1.500").toText(u","), QStringLiteral("1,5"));
    EXPECT_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(dec("1.01").toDouble(), 1.01);
    EXPECT_EQ(dec("-8.33").toDouble(), -8.33);
    EXPECT_EQ(kMax.toDouble(), 79228162514264337593543950335.0);
    EXPECT_EQ(dec("0.0000000000000000000000000001").toDouble(), 1e-28);
}

// The division by an exact power of ten and the decimal reader agree, at the edges of the
// division's range (2^53 - 1, 2^53, 10^22, 10^23) and on digits that round either way.
TEST(DecimalArithmetic, ToDoubleRoundsLikeTheDecimalReader) {
    const char* const mantissas[] = {"1",
                                     "2675",
                                     "9007199254740991",
                                     "9007199254740993",
                                     "123456789012345678",
                                     "4503599627370497"};
    for (const char* m : mantissas)
        for (int scale : {0, 1, 2, 15, 22, 23, 28}) {
            std::string digits = m;
            if (int(digits.size()) <= scale)
                digits.insert(0, std::string(scale - digits.size() + 1, '0'));
            const std::string text = scale ? digits.substr(0, digits.size() - scale) + "." +
                                                 digits.substr(digits.size() - scale)
                                           : digits;
            for (const std::string& signed_ : {text, "-" + text})
                EXPECT_EQ(dec(signed_.c_str()).toDouble(), std::strtod(signed_.c_str(), nullptr))
                    << signed_;
        }
}
