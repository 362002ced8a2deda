#include "Rounding.h"
#include "LocaleGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tarv;

namespace {

// The locales a user is likely to run in: the comma of the Italian settings the library was
// written for, the point of English and C settings.
struct LocaleCase {
    const char* name;
    const char* separator;
};
const LocaleCase kLocales[] = {{"it_IT.UTF-8", ","}, {"en_US.UTF-8", "."}, {"C", "."}};

class RoundingInLocale : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        m_guard = std::make_unique<LocaleGuard>(GetParam().name);
        if (!m_guard->ok())
            GTEST_SKIP() << "locale " << GetParam().name << " is not installed";
    }
    QString sep() const { return QString::fromLatin1(GetParam().separator); }
    // A number written with a point, as it reads in the locale.
    QString local(const char* text) const { return QString::fromLatin1(text).replace(u'.', sep()); }

private:
    std::unique_ptr<LocaleGuard> m_guard;
};

double rounded(double value, int decimals, int mode) {
    const Checked<double> r = Rounding::Round(value, std::int16_t(decimals), std::uint8_t(mode));
    EXPECT_TRUE(r.ok()) << value << " at " << decimals << " mode " << mode;
    return r.ok() ? r.value() : std::nan("");
}

} // namespace

TEST_P(RoundingInLocale, RoundsTheSameInEveryLocale) {
    EXPECT_EQ(localeDecimalSeparator(), sep());
    const struct {
        double value;
        int decimals;
        int mode;
        double expected;
    } cases[] = {
        {2.5, 0, 1, 3},
        {-2.5, 0, 1, -3},
        {2.4999, 0, 1, 2},
        {1.005, 2, 1, 1.01},
        {2.675, 2, 1, 2.68},
        {0.29, 2, 2, 0.29},
        {2.01, 0, 3, 3},
        {-2.01, 0, 3, -3},
        {2.0, 0, 3, 2},
        {1234, -2, 1, 1200},
        {2.5, 0, 0, 2.5},
        {2.5, 0, 4, 2.5},
        {1.005, 2, 255, 1.005},
        {1.15, 1, 1, 1.2},
        {8.325, 2, 1, 8.33},
        {123456789.125, 2, 1, 123456789.13},
        {0.07, 2, 3, 0.07},
        {0.57, 2, 2, 0.57},
        {-0.57, 2, 2, -0.57},
        {-8.325, 2, 1, -8.33},
        {-123456789.125, 2, 2, -123456789.12},
        // Sixteen digits: the conversion has already decided before any mode looks.
        {1e15 + 0.5, 0, 1, 1e15},
        {1e15 + 0.5, 0, 2, 1e15},
        {1e15 + 0.5, 0, 3, 1e15},
        {99999999999999.5, 0, 1, 1e14},
        {99999999999999.5, 0, 2, 99999999999999},
        {999999999999999.4, 0, 2, 999999999999999},
        {-1234.5678, -2, 1, -1200},
        {1201, -1, 3, 1210},
        {-1249.9, -2, 1, -1200},
        {-1250, -2, 1, -1300},
        {155, -1, 2, 150},
        {0.004, 2, 1, 0},
        {-0.004, 2, 1, 0},
        {0.001, 2, 3, 0.01},
        {1, 28, 1, 1},
        {0.123456789, 28, 1, 0.123456789},
        {5, -28, 1, 0},
        {5e27, -28, 1, 1e28},
        {0, 5, 3, 0},
    };
    for (const auto& c : cases) {
        const double r = rounded(c.value, c.decimals, c.mode);
        EXPECT_EQ(r, c.expected) << c.value << " at " << c.decimals << " mode " << c.mode;
        EXPECT_FALSE(std::signbit(r) && r == 0) << "negative zero for " << c.value;
    }
    // The text a host sees for the rounded value.
    EXPECT_EQ(textOf(NumberArg::fromDouble(rounded(8.325, 2, 1))), local("8.33"));
    EXPECT_EQ(textOf(NumberArg::fromDouble(rounded(-1.005, 2, 1))), local("-1.01"));
}

TEST_P(RoundingInLocale, NDecAndInteroLookForTheLocaleSeparator) {
    const struct {
        NumberArg value;
        int decimals;
    } ndec[] = {
        {NumberArg::fromString(local("3.25")), 2},
        {NumberArg::fromString(local("12.340")), 3},
        {NumberArg::fromString(local("-0.5.5")), 3}, // counted from the first separator
        {NumberArg::fromString(local("12.")), 0},
        {NumberArg::fromString(QStringLiteral("abc")), 0},
        {NumberArg::fromInteger(7), 0},
        {NumberArg::fromDouble(3.25), 2},
        {NumberArg::fromDouble(1.0 / 3), 15},
        {NumberArg::fromDouble(5.6789e-12), 8}, // "5,6789E-12": the exponent counts too
        // No digits, so no separator to count from.
        {NumberArg::fromDouble(std::numeric_limits<double>::quiet_NaN()), 0},
        {NumberArg::fromDouble(-std::numeric_limits<double>::infinity()), 0},
        {NumberArg::fromDecimal(Decimal::fromText(u"1.500").value()), 1},
        {NumberArg::fromBoolean(true), 0},
        {NumberArg::null(), 0},
        {NumberArg::empty(), 0},
    };
    for (const auto& c : ndec) {
        const Checked<std::uint8_t> n = Rounding::NDec(c.value);
        ASSERT_TRUE(n.ok()) << textOf(c.value).toStdString();
        EXPECT_EQ(n.value(), c.decimals) << textOf(c.value).toStdString();
    }

    const struct {
        NumberArg value;
        NumberArg expected;
    } intero[] = {
        {NumberArg::fromString(local("-12.7")), NumberArg::fromString(QStringLiteral("-12"))},
        {NumberArg::fromString(local(".5")), NumberArg::fromString(QString())},
        {NumberArg::fromDouble(-12.7), NumberArg::fromString(QStringLiteral("-12"))},
        {NumberArg::fromDouble(1234.999), NumberArg::fromString(QStringLiteral("1234"))},
        {NumberArg::fromInteger(12), NumberArg::fromInteger(12)},
        {NumberArg::fromDouble(12), NumberArg::fromDouble(12)},
        {NumberArg::fromDouble(std::numeric_limits<double>::infinity()),
         NumberArg::fromDouble(std::numeric_limits<double>::infinity())},
        {NumberArg::fromString(QStringLiteral("12")), NumberArg::fromString(QStringLiteral("12"))},
        {NumberArg::null(), NumberArg::null()},
        {NumberArg::empty(), NumberArg::empty()},
        {NumberArg::fromBoolean(false), NumberArg::fromBoolean(false)},
    };
    for (const auto& c : intero)
        EXPECT_EQ(Rounding::Intero(c.value), c.expected) << textOf(c.value).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Locales, RoundingInLocale, ::testing::ValuesIn(kLocales),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(Rounding, TheOtherSeparatorIsPlainText) {
    // The separator of another locale is not a separator: NDec finds none and Intero hands
    // the value back.
    EXPECT_EQ(Rounding::NDec(NumberArg::fromString(QStringLiteral("3,25")), u".").value(), 0);
    EXPECT_EQ(Rounding::NDec(NumberArg::fromString(QStringLiteral("3.25")), u",").value(), 0);
    const NumberArg s = NumberArg::fromString(QStringLiteral("-12,7"));
    EXPECT_EQ(Rounding::Intero(s, u"."), s);
    EXPECT_EQ(Rounding::Intero(NumberArg::fromDouble(-12.7), u","),
              NumberArg::fromString(QStringLiteral("-12")));
}

TEST(Rounding, NDecBeyondAByteOverflows) {
    const NumberArg fits = NumberArg::fromString(QStringLiteral("1,") + QString(255, u'9'));
    EXPECT_EQ(Rounding::NDec(fits, u",").value(), 255);
    const Checked<std::uint8_t> over =
        Rounding::NDec(NumberArg::fromString(QStringLiteral("1,") + QString(256, u'9')), u",");
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error().number, 6);
}

TEST(Rounding, OutOfRangeIsAnOverflowError) {
    const struct {
        double value;
        int decimals;
    } cases[] = {
        {1e29, 0}, // the scaled magnitude is beyond the decimal type
        {-1e29, 0},
        {1, 29},     // 1e29
        {8e26, 2},   // 8e28
        {1e300, 10}, // infinite once scaled
        {1, 400},    // f itself is infinite
        {0, 400},    // 0 * infinity
        {1, -29},    // f is below the smallest decimal step
        {1, -400},   // f is zero
        {std::numeric_limits<double>::quiet_NaN(), 2},
        {std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& c : cases)
        for (int mode : {1, 2, 3, 0}) {
            const Checked<double> r =
                Rounding::Round(c.value, std::int16_t(c.decimals), std::uint8_t(mode));
            ASSERT_FALSE(r.ok()) << c.value << " at " << c.decimals;
            EXPECT_EQ(r.error().number, 6);
            EXPECT_EQ(r.error().description, QStringLiteral("Overflow"));
        }
    // Just inside the range.
    EXPECT_EQ(rounded(7.9e28, 0, 1), 7.9e28);
    EXPECT_EQ(rounded(-7.9e26, 2, 3), -7.9e26);
}
