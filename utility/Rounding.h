#pragma once

#include "Decimal.h"

#include <QString>

#include <cstdint>

namespace tarv {

// A value as the numeric helpers receive it: the automation types they can meet, with the
// kind kept so that a value handed back unchanged keeps its type. The component layer
// converts its variants to and from this.
struct NumberArg {
    enum class Kind { Empty, Null, Integer, Double, Decimal, String, Boolean };

    Kind kind = Kind::Empty;
    std::int64_t integer = 0; // Integer (Byte, Integer and Long alike)
    double real = 0;          // Double
    Decimal decimal;          // Decimal
    QString string;           // String
    bool boolean = false;     // Boolean

    static NumberArg empty() { return {}; }
    static NumberArg null() { return make(Kind::Null); }
    static NumberArg fromInteger(std::int64_t v) {
        NumberArg a = make(Kind::Integer);
        a.integer = v;
        return a;
    }
    static NumberArg fromDouble(double v) {
        NumberArg a = make(Kind::Double);
        a.real = v;
        return a;
    }
    static NumberArg fromDecimal(const Decimal& v) {
        NumberArg a = make(Kind::Decimal);
        a.decimal = v;
        return a;
    }
    static NumberArg fromString(const QString& v) {
        NumberArg a = make(Kind::String);
        a.string = v;
        return a;
    }
    static NumberArg fromBoolean(bool v) {
        NumberArg a = make(Kind::Boolean);
        a.boolean = v;
        return a;
    }

    bool operator==(const NumberArg& o) const {
        return kind == o.kind && integer == o.integer &&
               (real == o.real || (real != real && o.real != o.real)) &&
               decimal.compare(o.decimal) == 0 && decimal.scale() == o.decimal.scale() &&
               string == o.string && boolean == o.boolean;
    }

private:
    static NumberArg make(Kind k) {
        NumberArg a;
        a.kind = k;
        return a;
    }
};

// The text of a value as the automation conversion writes it, with the given decimal
// separator: a string is its own text; Empty and Null give ""; Booleans "True" and
// "False"; integers their digits; doubles 15 significant digits (com::doubleToText; NaN and
// infinities, which the automation types never carry, as "NaN", "Inf" and "-Inf"); decimals
// their exact digits (Decimal::toText).
QString textOf(const NumberArg& value, QStringView decimalSeparator);
// The same in the calling thread's LC_NUMERIC locale.
inline QString textOf(const NumberArg& value) {
    return textOf(value, localeDecimalSeparator());
}

// The three helpers of the Math class. The decimal separator they look for is the
// locale's (by default the calling thread's LC_NUMERIC separator), so in an Italian locale
// it is the comma and the answers are those of the Windows library; in a locale with a
// point they answer the same question instead of finding no comma.
class Rounding {
public:
    // Rounding modes of Round; any other value leaves the number unrounded.
    enum Mode : std::uint8_t { HalfAwayFromZero = 1, TowardZero = 2, AwayFromZero = 3 };

    // The count of characters after the first decimal separator in the text of the value;
    // 0 for Null or when there is none. More than 255 is an overflow (the result is a Byte).
    static Checked<std::uint8_t> NDec(const NumberArg& numero);
    static Checked<std::uint8_t> NDec(const NumberArg& numero, QStringView decimalSeparator);

    // The text of the value before its first decimal separator, as a String (the integer
    // part cut toward zero, minus sign kept); without a separator the value itself,
    // unchanged and with its own kind (Null stays Null).
    static NumberArg Intero(const NumberArg& numero);
    static NumberArg Intero(const NumberArg& numero, QStringView decimalSeparator);

    // numero rounded to decimali decimals (negative: tens, hundreds, ...) in the given mode.
    // The magnitude times 10^decimali is taken to the decimal type keeping 15 significant
    // digits, rounded there exactly, divided back in decimal and given back as the nearest
    // double with numero's sign. Independent of the locale. Overflow when the scaled
    // magnitude or 10^decimali is beyond the decimal type.
    static Checked<double> Round(double numero, std::int16_t decimali, std::uint8_t tipo);
};

} // namespace tarv
