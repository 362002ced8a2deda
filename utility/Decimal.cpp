#include "Decimal.h"

#include "Conversions.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tarv {

using u128 = unsigned __int128;

NumberError NumberError::overflow() {
    return {6, 0x8002000Au, QStringLiteral("Overflow")};
}
NumberError NumberError::divisionByZero() {
    return {11, 0x80020012u, QStringLiteral("Divisione per zero")};
}
NumberError NumberError::typeMismatch() {
    return {13, 0x80020005u, QStringLiteral("Tipo non corrispondente")};
}

namespace {

const u128 kMax96 = (u128(1) << 96) - 1;

// An unsigned integer of 256 bits, wide enough for every intermediate of the arithmetic:
// a 96-bit mantissa times 10^28 (about 190 bits), or the product of two mantissas (192).
class Wide {
public:
    Wide() { m_w.fill(0); }
    explicit Wide(u128 v) {
        m_w.fill(0);
        for (int i = 0; i < 4; ++i) {
            m_w[i] = std::uint32_t(v);
            v >>= 32;
        }
    }

    static Wide product(u128 a, u128 b) {
        std::uint32_t x[3] = {std::uint32_t(a), std::uint32_t(a >> 32), std::uint32_t(a >> 64)};
        std::uint32_t y[3] = {std::uint32_t(b), std::uint32_t(b >> 32), std::uint32_t(b >> 64)};
        Wide r;
        for (int i = 0; i < 3; ++i) {
            std::uint64_t carry = 0;
            for (int j = 0; j < 3; ++j) {
                std::uint64_t t = std::uint64_t(x[i]) * y[j] + r.m_w[i + j] + carry;
                r.m_w[i + j] = std::uint32_t(t);
                carry = t >> 32;
            }
            for (int k = i + 3; carry && k < 8; ++k) {
                std::uint64_t t = std::uint64_t(r.m_w[k]) + carry;
                r.m_w[k] = std::uint32_t(t);
                carry = t >> 32;
            }
        }
        return r;
    }

    void mulSmall(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (auto& w : m_w) {
            std::uint64_t t = std::uint64_t(w) * m + carry;
            w = std::uint32_t(t);
            carry = t >> 32;
        }
    }
    void mulPow10(int n) {
        for (; n > 0; --n)
            mulSmall(10);
    }
    std::uint32_t divSmall(std::uint32_t d) {
        std::uint64_t rem = 0;
        for (int i = 7; i >= 0; --i) {
            std::uint64_t cur = (rem << 32) | m_w[i];
            m_w[i] = std::uint32_t(cur / d);
            rem = cur % d;
        }
        return std::uint32_t(rem);
    }
    void add(const Wide& o) {
        std::uint64_t carry = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t t = std::uint64_t(m_w[i]) + o.m_w[i] + carry;
            m_w[i] = std::uint32_t(t);
            carry = t >> 32;
        }
    }
    // Requires *this >= o.
    void subtract(const Wide& o) {
        std::int64_t borrow = 0;
        for (int i = 0; i < 8; ++i) {
            std::int64_t t = std::int64_t(m_w[i]) - o.m_w[i] - borrow;
            borrow = t < 0;
            m_w[i] = std::uint32_t(t + (borrow << 32));
        }
    }
    int compare(const Wide& o) const {
        for (int i = 7; i >= 0; --i)
            if (m_w[i] != o.m_w[i])
                return m_w[i] < o.m_w[i] ? -1 : 1;
        return 0;
    }
    bool fits96() const {
        for (int i = 3; i < 8; ++i)
            if (m_w[i])
                return false;
        return true;
    }
    u128 low128() const {
        return (u128(m_w[3]) << 96) | (u128(m_w[2]) << 64) | (u128(m_w[1]) << 32) | m_w[0];
    }

private:
    std::array<std::uint32_t, 8> m_w;
};

u128 pow10u(int n) {
    u128 r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}

QString digitsOf(u128 v) {
    if (v == 0)
        return QStringLiteral("0");
    char buf[48];
    int i = sizeof buf;
    while (v) {
        buf[--i] = char('0' + int(v % 10));
        v /= 10;
    }
    return QString::fromLatin1(buf + i, int(sizeof buf) - i);
}

} // namespace

class DecimalArithmetic {
public:
    static u128 magnitude(const Decimal& d) {
        return (u128(d.m_hi) << 64) | (u128(d.m_mid) << 32) | d.m_lo;
    }

    static Decimal make(u128 mag, int scale, bool negative) {
        Decimal d;
        d.m_lo = std::uint32_t(mag);
        d.m_mid = std::uint32_t(mag >> 32);
        d.m_hi = std::uint32_t(mag >> 64);
        d.m_scale = scale;
        d.m_negative = negative && mag != 0;
        return d;
    }

    // Drops digits from the scale, rounding half up, until the magnitude fits in 96 bits
    // and the scale is at most 28.
    static Checked<Decimal> reduce(Wide mag, int scale, bool negative) {
        for (;;) {
            std::uint32_t lastDropped = 0;
            bool dropped = false;
            while (!mag.fits96() || scale > Decimal::kMaxScale) {
                if (scale <= 0)
                    return NumberError::overflow();
                lastDropped = mag.divSmall(10);
                dropped = true;
                --scale;
            }
            if (dropped && lastDropped >= 5)
                mag.add(Wide(1));
            if (mag.fits96())
                return make(mag.low128(), scale, negative);
        }
    }

    static Checked<Decimal> addSigned(const Decimal& a, const Decimal& b, bool negateB) {
        const bool bNegative = negateB ? !b.m_negative : b.m_negative;
        const int scale = std::max(a.m_scale, b.m_scale);
        Wide ma(magnitude(a));
        Wide mb(magnitude(b));
        ma.mulPow10(scale - a.m_scale);
        mb.mulPow10(scale - b.m_scale);
        if (a.m_negative == bNegative) {
            ma.add(mb);
            return reduce(ma, scale, a.m_negative);
        }
        if (ma.compare(mb) >= 0) {
            ma.subtract(mb);
            return reduce(ma, scale, a.m_negative);
        }
        mb.subtract(ma);
        return reduce(mb, scale, bNegative);
    }
};

Decimal Decimal::fromInteger(std::int64_t value) {
    const bool negative = value < 0;
    const u128 mag = negative ? u128(-(value + 1)) + 1 : u128(value);
    return DecimalArithmetic::make(mag, 0, negative);
}

Checked<Decimal> Decimal::fromParts(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi,
                                    int scale, bool negative) {
    if (scale < 0 || scale > kMaxScale)
        return NumberError::overflow();
    return DecimalArithmetic::make((u128(hi) << 64) | (u128(mid) << 32) | lo, scale, negative);
}

double powerOfTen(int n) {
    // Up to 10^22 the powers of ten are exact doubles, and pow gives exactly these.
    static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return n >= 0 && n <= 22 ? kExact[n] : std::pow(10.0, n);
}

Checked<Decimal> Decimal::fromDouble(double value) {
    if (!std::isfinite(value))
        return NumberError::overflow();
    const bool negative = std::signbit(value);
    const double a = std::fabs(value);
    if (a == 0)
        return Decimal();

    // k is the power of ten that gives the integer part 15 digits; log10 may be one off
    // near powers of ten, so the digit count is checked on the scaled value itself.
    int e = int(std::floor(std::log10(a)));
    double integer = 0;
    double fraction = 0;
    int k = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        k = std::min(14 - e, kMaxScale);
        const double scaled = k >= 0 ? a * powerOfTen(k) : a / powerOfTen(-k);
        if (!std::isfinite(scaled))
            return NumberError::overflow();
        integer = std::floor(scaled);
        fraction = scaled - integer;
        if (integer >= 1e15)
            ++e;
        else if (integer < 1e14 && k < kMaxScale)
            --e;
        else
            break;
    }
    // Half to even on the remaining fraction.
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(integer, 2.0) != 0))
        integer += 1;

    u128 mag = u128(std::uint64_t(integer));
    int scale = k;
    if (k < -14) // at least 10^14 * 10^15, beyond 7.9e28
        return NumberError::overflow();
    if (k < 0) {
        Wide w(mag);
        w.mulPow10(-k);
        if (!w.fits96())
            return NumberError::overflow();
        mag = w.low128();
        scale = 0;
    }
    while (scale > 0 && mag % 10 == 0) {
        mag /= 10;
        --scale;
    }
    return DecimalArithmetic::make(mag, scale, negative);
}

Checked<Decimal> Decimal::fromText(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    QString digits;
    int scale = 0;
    bool seenPoint = false;
    bool anyDigit = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (seenPoint) {
                // One digit past the last kept decimal is enough for rounding half up.
                if (scale > kMaxScale)
                    continue;
                ++scale;
            } else if (digits.isEmpty() && c == u'0') {
                continue;
            }
            digits.append(c);
        } else {
            return NumberError::typeMismatch();
        }
    }
    if (!anyDigit)
        return NumberError::typeMismatch();
    if (digits.size() - scale > 29)
        return NumberError::overflow();
    Wide w;
    for (QChar c : digits) {
        w.mulSmall(10);
        w.add(Wide(u128(c.unicode() - u'0')));
    }
    return DecimalArithmetic::reduce(w, scale, negative);
}

Checked<Decimal> Decimal::add(const Decimal& other) const {
    return DecimalArithmetic::addSigned(*this, other, false);
}

Checked<Decimal> Decimal::subtract(const Decimal& other) const {
    return DecimalArithmetic::addSigned(*this, other, true);
}

Checked<Decimal> Decimal::multiply(const Decimal& other) const {
    const Wide product =
        Wide::product(DecimalArithmetic::magnitude(*this), DecimalArithmetic::magnitude(other));
    return DecimalArithmetic::reduce(product, m_scale + other.m_scale,
                                     m_negative != other.m_negative);
}

Checked<Decimal> Decimal::divide(const Decimal& other) const {
    const u128 d = DecimalArithmetic::magnitude(other);
    if (d == 0)
        return NumberError::divisionByZero();
    const bool negative = m_negative != other.m_negative;
    const u128 n = DecimalArithmetic::magnitude(*this);
    if (n == 0)
        return Decimal();

    u128 q = n / d;
    u128 r = n % d;
    int scale = m_scale - other.m_scale;
    // Digits are added while the quotient is inexact and another one fits; while the scale
    // is negative they are required (the quotient is scaled up to an integer).
    while (scale < 0 || (r != 0 && scale < kMaxScale)) {
        r *= 10; // r < d < 2^96, so no overflow
        const u128 digit = r / d;
        if (q > (kMax96 - digit) / 10) {
            if (scale < 0)
                return NumberError::overflow();
            r /= 10;
            break;
        }
        q = q * 10 + digit;
        r %= d;
        ++scale;
    }
    Wide w(q);
    if (r != 0 && 2 * r >= d)
        w.add(Wide(1));
    return DecimalArithmetic::reduce(w, scale, negative);
}

int Decimal::compare(const Decimal& other) const {
    const bool aNeg = isNegative();
    const bool bNeg = other.isNegative();
    if (isZero() && other.isZero())
        return 0;
    if (aNeg != bNeg)
        return aNeg ? -1 : 1;
    const int scale = std::max(m_scale, other.m_scale);
    Wide ma(DecimalArithmetic::magnitude(*this));
    Wide mb(DecimalArithmetic::magnitude(other));
    ma.mulPow10(scale - m_scale);
    mb.mulPow10(scale - other.m_scale);
    const int c = ma.compare(mb);
    return aNeg ? -c : c;
}

Decimal Decimal::truncated() const {
    return DecimalArithmetic::make(DecimalArithmetic::magnitude(*this) / pow10u(m_scale), 0,
                                   m_negative);
}

Decimal Decimal::negated() const {
    Decimal d = *this;
    d.m_negative = !m_negative && !isZero();
    return d;
}

Decimal Decimal::abs() const {
    Decimal d = *this;
    d.m_negative = false;
    return d;
}

double Decimal::toDouble() const {
    // A mantissa below 2^53 over a power of ten up to 10^22 are both exact doubles, so one
    // division gives the correctly rounded result: most values that hosts pass take this way.
    if (m_hi == 0 && (m_mid >> 21) == 0 && m_scale >= 0 && m_scale <= 22) {
        const double magnitude = double((std::uint64_t(m_mid) << 32) | m_lo);
        const double value = magnitude / powerOfTen(m_scale);
        return isNegative() ? -value : value;
    }
    // Otherwise the C library's decimal reader, which rounds correctly.
    const QByteArray text = (isNegative() ? QByteArray("-") : QByteArray()) +
                            digitsOf(DecimalArithmetic::magnitude(*this)).toLatin1() + "e-" +
                            QByteArray::number(m_scale);
    double result = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), result);
    return result;
}

QString Decimal::toText(QStringView decimalSeparator) const {
    QString digits = digitsOf(DecimalArithmetic::magnitude(*this));
    QString integerPart;
    QString fractionPart;
    if (m_scale > 0) {
        if (digits.size() <= m_scale)
            digits.prepend(QString(m_scale - digits.size() + 1, u'0'));
        integerPart = digits.left(digits.size() - m_scale);
        fractionPart = digits.right(m_scale);
        while (fractionPart.endsWith(u'0'))
            fractionPart.chop(1);
    } else {
        integerPart = digits;
    }
    QString text = isNegative() ? QStringLiteral("-") : QString();
    text += integerPart;
    if (!fractionPart.isEmpty()) {
        text += decimalSeparator;
        text += fractionPart;
    }
    return text;
}

QString localeDecimalSeparator() {
    return QString(com::userNumberFormat().decimal);
}

} // namespace tarv
