#include "Rounding.h"

#include "Conversions.h"

#include <array>
#include <cmath>

namespace tarv {

QString textOf(const NumberArg& value, QStringView decimalSeparator) {
    switch (value.kind) {
    case NumberArg::Kind::Empty:
    case NumberArg::Kind::Null:
        return QString();
    case NumberArg::Kind::Integer:
        return QString::number(value.integer);
    case NumberArg::Kind::Double:
        // NaN and infinities have no digits and no separator to find.
        if (std::isnan(value.real))
            return QStringLiteral("NaN");
        if (std::isinf(value.real))
            return value.real < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
        return com::doubleToText(value.real, decimalSeparator);
    case NumberArg::Kind::Decimal:
        return value.decimal.toText(decimalSeparator);
    case NumberArg::Kind::String:
        return value.string;
    case NumberArg::Kind::Boolean:
        return value.boolean ? QStringLiteral("True") : QStringLiteral("False");
    }
    return QString();
}

Checked<std::uint8_t> Rounding::NDec(const NumberArg& numero) {
    return NDec(numero, localeDecimalSeparator());
}

Checked<std::uint8_t> Rounding::NDec(const NumberArg& numero, QStringView decimalSeparator) {
    if (numero.kind == NumberArg::Kind::Null || decimalSeparator.isEmpty())
        return std::uint8_t(0);
    const QString text = textOf(numero, decimalSeparator);
    const qsizetype at = text.indexOf(decimalSeparator);
    if (at < 0)
        return std::uint8_t(0);
    const qsizetype count = text.size() - at - decimalSeparator.size();
    if (count > 255)
        return NumberError::overflow();
    return std::uint8_t(count);
}

NumberArg Rounding::Intero(const NumberArg& numero) {
    return Intero(numero, localeDecimalSeparator());
}

NumberArg Rounding::Intero(const NumberArg& numero, QStringView decimalSeparator) {
    if (numero.kind == NumberArg::Kind::Null || decimalSeparator.isEmpty())
        return numero;
    const QString text = textOf(numero, decimalSeparator);
    const qsizetype at = text.indexOf(decimalSeparator);
    if (at < 0)
        return numero;
    return NumberArg::fromString(text.left(at));
}

Checked<double> Rounding::Round(double numero, std::int16_t decimali, std::uint8_t tipo) {
    const double f = powerOfTen(decimali);

    // The magnitude, scaled in double arithmetic, then kept to 15 significant digits:
    // 1.005 * 100 is 100.49999999999999 as a double and 100.5 as a decimal.
    const Checked<Decimal> scaled = Decimal::fromDouble(std::fabs(numero) * f);
    if (!scaled)
        return scaled.error();
    Decimal x = scaled.value();

    // The integer part is found in decimal arithmetic, not through the text of x, so the
    // locale's separator plays no part.
    const Decimal whole = x.truncated();
    const Checked<Decimal> fraction = x.subtract(whole);
    if (!fraction)
        return fraction.error();
    const Decimal& rest = fraction.value();

    const auto plusOne = [&]() { return whole.add(Decimal::fromInteger(1)); };
    switch (tipo) {
    case HalfAwayFromZero:
    case AwayFromZero: {
        const bool up = tipo == HalfAwayFromZero
                            ? rest.compare(Decimal::fromParts(5, 0, 0, 1, false).value()) >= 0
                            : !rest.isZero();
        if (up) {
            const Checked<Decimal> next = plusOne();
            if (!next)
                return next.error();
            x = next.value();
        } else {
            x = whole;
        }
        break;
    }
    case TowardZero:
        x = whole;
        break;
    default:
        break;
    }

    // 10^decimali must itself be a decimal: beyond 7.9e28, or below the smallest step of
    // 28 decimals (where it would be zero), the call overflows.
    // The usual powers are made once (the same decimals fromDouble gives for them).
    static const std::array<Decimal, 23> kFactors = [] {
        std::array<Decimal, 23> a;
        for (int n = 0; n < 23; ++n)
            a[size_t(n)] = Decimal::fromDouble(powerOfTen(n)).value(); // up to 1e22: never fails
        return a;
    }();
    const Checked<Decimal> factor = decimali >= 0 && decimali < 23
                                        ? Checked<Decimal>(kFactors[size_t(decimali)])
                                        : Decimal::fromDouble(f);
    if (!factor)
        return factor.error();
    if (factor.value().isZero())
        return NumberError::overflow();
    const Checked<Decimal> quotient = x.divide(factor.value());
    if (!quotient)
        return quotient.error();
    const double result = quotient.value().toDouble();
    // The sign goes back on a non-zero result only: -0 would read as a sign to a C++ host.
    return numero < 0 && result != 0 ? -result : result;
}

} // namespace tarv
