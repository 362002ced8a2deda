#pragma once

#include "ComTypes.h"

#include <QChar>
#include <QString>
#include <QStringView>

namespace tarv::com {

class Variant;

// Separators of numbers in text. A null group separator means none is accepted.
struct NumberFormat {
    QChar decimal = QLatin1Char('.');
    QChar group;
};

// The separators of the user's locale: the LC_NUMERIC category of the process's C locale (a
// program selects the user's with setlocale(LC_ALL, "")). Read at every call, so a change of
// locale takes effect at once.
NumberFormat userNumberFormat();

// A double as automation writes it: at most 15 significant digits, trailing zeros dropped,
// no thousands separator, exponent form ("1E+15", "5.6789E-12") only when the plain form
// would need more than 15 digits before the point or more than 15 after it. Negative zero is
// "0"; NaN and infinities are "-1.#IND", "1.#INF" and "-1.#INF" (with the given separator).
QString doubleToText(double value, QStringView decimal);
inline QString doubleToText(double value, QChar decimal) {
    return doubleToText(value, QStringView(&decimal, 1));
}

// Text to a number as automation reads it: blanks around, an optional sign, digits with the
// locale's group separators in the integer part, the locale's decimal separator, an optional
// exponent (E or D); "&H" and "&O" prefixes for hexadecimal and octal integers.
// DISP_E_TYPEMISMATCH when the text is no number, DISP_E_OVERFLOW beyond the double range.
HRESULT textToDouble(const QString& text, const NumberFormat& format, double* out);

// The automation conversion of a value (a reference is read through) to another type, in the
// user's locale: numbers to and from text, Booleans as True/False (and -1/0 as numbers),
// Empty as 0 or "", objects through their default property. Null and error values convert to
// nothing but themselves. Failures: DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW.
HRESULT changeType(const Variant& source, VarType to, Variant* result);
HRESULT changeType(const Variant& source, VarType to, Variant* result, const NumberFormat& format);

// The text of a value as automation writes it; false when it has none (Null, errors, objects
// without a default value).
bool toText(const Variant& value, QString* text);

} // namespace tarv::com
