#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <utility>

namespace tarv {

// 10^n as std::pow(10.0, n) gives it, without the call for the exact powers 10^0 to 10^22.
double powerOfTen(int n);

// An automation error as a failed call reports it: the error number the hosts test for,
// the HRESULT that carries it through the dispatch interface, and the description shown
// to the user (the Italian runtime texts).
struct NumberError {
    int number = 0;
    std::uint32_t hresult = 0;
    QString description;

    static NumberError overflow();       // 6, DISP_E_OVERFLOW
    static NumberError divisionByZero(); // 11, DISP_E_DIVBYZERO
    static NumberError typeMismatch();   // 13, DISP_E_TYPEMISMATCH

    bool operator==(const NumberError& other) const = default;
};

// A value or the error that took its place. Nothing in the number code throws.
template <class T> class Checked {
public:
    Checked(T value) : m_value(std::move(value)) {}
    Checked(NumberError error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return m_value; }
    const NumberError& error() const { return *m_error; }

private:
    T m_value{};
    std::optional<NumberError> m_error;
};

// The automation decimal type: a 96-bit unsigned integer, a sign and a power-of-ten scale
// from 0 to 28, so values up to about 7.9e28 with 28 to 29 significant digits. Arithmetic
// is exact where the result fits; digits beyond 96 bits are dropped from the scale with
// rounding half up, and a result that does not fit even with scale 0 is an overflow.
class Decimal {
public:
    static constexpr int kMaxScale = 28;

    Decimal() = default;
    static Decimal fromInteger(std::int64_t value);
    // Mantissa given as three 32-bit words, low first. Fails when the scale is out of range.
    static Checked<Decimal> fromParts(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi,
                                      int scale, bool negative);
    // Keeps 15 significant digits as the automation conversion does: the magnitude is scaled
    // by a power of ten in double arithmetic so that its integer part has 15 digits, that
    // integer is rounded half to even by the remaining fraction, and the value is the
    // integer times the inverse power of ten (at most 28 decimals, below that zero).
    // Infinities, NaN and magnitudes beyond the range are an overflow.
    static Checked<Decimal> fromDouble(double value);
    // Plain decimal text in the C form: optional sign, digits, optional '.' and digits.
    // No exponent, no separators. Digits beyond the 28th decimal or beyond 96 bits are
    // rounded half up; a value out of range is an overflow; anything else malformed is a
    // type mismatch.
    static Checked<Decimal> fromText(QStringView text);

    Checked<Decimal> add(const Decimal& other) const;
    Checked<Decimal> subtract(const Decimal& other) const;
    Checked<Decimal> multiply(const Decimal& other) const;
    // As many digits as fit in 96 bits with a scale of at most 28, the last one rounded
    // half up (1/3 = 0.3333333333333333333333333333).
    Checked<Decimal> divide(const Decimal& other) const;

    // -1, 0 or 1 by value; 1.0 and 1.00 are equal, and so are -0 and 0.
    int compare(const Decimal& other) const;
    bool operator==(const Decimal& other) const { return compare(other) == 0; }
    bool operator<(const Decimal& other) const { return compare(other) < 0; }

    // The integer part, cut toward zero.
    Decimal truncated() const;
    Decimal negated() const;
    Decimal abs() const;

    // The nearest double.
    double toDouble() const;
    // Exact digits, trailing zeros of the fraction dropped, '-' for negative values, the
    // given decimal separator (1.500 gives "1.5", 0 gives "0").
    QString toText(QStringView decimalSeparator = u".") const;

    bool isZero() const { return m_lo == 0 && m_mid == 0 && m_hi == 0; }
    bool isNegative() const { return m_negative && !isZero(); }
    int scale() const { return m_scale; }
    std::uint32_t lo() const { return m_lo; }
    std::uint32_t mid() const { return m_mid; }
    std::uint32_t hi() const { return m_hi; }

private:
    std::uint32_t m_lo = 0;
    std::uint32_t m_mid = 0;
    std::uint32_t m_hi = 0;
    int m_scale = 0;
    bool m_negative = false;

    // The one way the arithmetic builds results: any magnitude and scale, reduced to 96 bits
    // and a scale of at most 28 by dropping digits with rounding half up.
    friend class DecimalArithmetic;
};

// The decimal separator of the calling thread's LC_NUMERIC locale, as the component layer's
// conversions read it (com::userNumberFormat). Qt programs start in the user's locale
// (QCoreApplication sets it from the environment); a host that never calls setlocale() runs
// in the C locale, whose separator is ".".
QString localeDecimalSeparator();

} // namespace tarv
