#include "Conversions.h"

#include "Interfaces.h"
#include "Variant.h"

#include <charconv>
#include <cmath>
#include <langinfo.h>
#include <string>

namespace tarv::com {

NumberFormat userNumberFormat() {
    NumberFormat f;
    const QString radix = QString::fromUtf8(nl_langinfo(RADIXCHAR));
    const QString group = QString::fromUtf8(nl_langinfo(THOUSEP));
    if (!radix.isEmpty())
        f.decimal = radix.at(0);
    if (!group.isEmpty() && group.at(0) != f.decimal)
        f.group = group.at(0);
    return f;
}

QString doubleToText(double value, QStringView decimal) {
    if (std::isnan(value))
        return QStringLiteral("-1%1#IND").arg(decimal);
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-1%1#INF").arg(decimal)
                         : QStringLiteral("1%1#INF").arg(decimal);
    if (value == 0)
        return QStringLiteral("0");
    // 15 significant digits, correctly rounded, independent of the C locale.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const std::string sci(buf, r.ptr);
    const bool negative = sci[0] == '-';
    const size_t start = negative ? 1 : 0;
    const size_t e = sci.find('e');
    std::string digits = sci.substr(start, 1) + sci.substr(start + 2, e - start - 2);
    const int exponent = std::stoi(sci.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int n = int(digits.size());

    QString out;
    if (negative)
        out += QLatin1Char('-');
    const int decimalsNeeded = n - 1 - exponent; // digits after the point in the plain form
    if (exponent >= 15 || decimalsNeeded > 15) {
        out += QLatin1Char(digits[0]);
        if (n > 1) {
            out += decimal;
            out += QString::fromLatin1(digits.data() + 1, n - 1);
        }
        out += QStringLiteral("E%1%2")
                   .arg(exponent < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                   .arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
        return out;
    }
    if (exponent < 0) {
        out += QLatin1Char('0');
        out += decimal;
        out += QString(-exponent - 1, QLatin1Char('0'));
        out += QString::fromLatin1(digits.data(), n);
        return out;
    }
    if (n <= exponent + 1) {
        out += QString::fromLatin1(digits.data(), n);
        out += QString(exponent + 1 - n, QLatin1Char('0'));
        return out;
    }
    out += QString::fromLatin1(digits.data(), exponent + 1);
    out += decimal;
    out += QString::fromLatin1(digits.data() + exponent + 1, n - exponent - 1);
    return out;
}

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == QChar(0xA0);
}

HRESULT parseRadixInteger(const QString& digits, int base, double* out) {
    if (digits.isEmpty() || digits.size() > (base == 16 ? 8 : 11))
        return DISP_E_TYPEMISMATCH;
    bool ok = false;
    const qulonglong v = digits.toULongLong(&ok, base);
    if (!ok || v > 0xFFFFFFFFull)
        return ok ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    // Like the platform, 16-bit and 32-bit literals with the top bit set are negative.
    if (digits.size() <= 4 && base == 16)
        *out = double(int16_t(uint16_t(v)));
    else
        *out = double(int32_t(uint32_t(v)));
    return S_OK;
}

} // namespace

HRESULT textToDouble(const QString& text, const NumberFormat& format, double* out) {
    int i = 0, end = int(text.size());
    while (i < end && isBlank(text[i]))
        ++i;
    while (end > i && isBlank(text[end - 1]))
        --end;
    if (i == end)
        return DISP_E_TYPEMISMATCH;
    const QString s = text.mid(i, end - i);
    if (s.size() > 2 && s[0] == u'&') {
        const QChar k = s[1].toUpper();
        if (k == u'H')
            return parseRadixInteger(s.mid(2), 16, out);
        if (k == u'O')
            return parseRadixInteger(s.mid(2), 8, out);
    }
    std::string c;
    int p = 0;
    if (s[p] == u'+' || s[p] == u'-') {
        if (s[p] == u'-')
            c += '-';
        ++p;
    }
    int intDigits = 0, fracDigits = 0;
    for (; p < s.size(); ++p) {
        const QChar ch = s[p];
        if (ch >= u'0' && ch <= u'9') {
            c += char(ch.unicode());
            ++intDigits;
        } else if (!format.group.isNull() && ch == format.group && intDigits > 0) {
            continue;
        } else {
            break;
        }
    }
    if (p < s.size() && s[p] == format.decimal) {
        c += '.';
        for (++p; p < s.size() && s[p] >= u'0' && s[p] <= u'9'; ++p, ++fracDigits)
            c += char(s[p].unicode());
    }
    if (intDigits + fracDigits == 0)
        return DISP_E_TYPEMISMATCH;
    if (p < s.size() && (s[p] == u'E' || s[p] == u'e' || s[p] == u'D' || s[p] == u'd')) {
        c += 'e';
        ++p;
        if (p < s.size() && (s[p] == u'+' || s[p] == u'-'))
            c += char(s[p++].unicode());
        int expDigits = 0;
        for (; p < s.size() && s[p] >= u'0' && s[p] <= u'9'; ++p, ++expDigits)
            c += char(s[p].unicode());
        if (expDigits == 0)
            return DISP_E_TYPEMISMATCH;
    }
    if (p != s.size())
        return DISP_E_TYPEMISMATCH;
    double v = 0;
    const auto r = std::from_chars(c.data(), c.data() + c.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; only magnitudes beyond the range overflow.
        const size_t e = c.find('e');
        if (e != std::string::npos && c[e + 1] == '-') {
            *out = 0;
            return S_OK;
        }
        return DISP_E_OVERFLOW;
    }
    if (r.ec != std::errc() || r.ptr != c.data() + c.size())
        return DISP_E_TYPEMISMATCH;
    if (std::isinf(v))
        return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

namespace {

// The numeric value of a non-reference, non-object variant.
HRESULT numericValue(const Variant& v, const NumberFormat& f, double* out) {
    switch (v.vt()) {
    case VT_EMPTY:
        *out = 0;
        return S_OK;
    case VT_I2:
        *out = v.toI2();
        return S_OK;
    case VT_I4:
        *out = v.toI4();
        return S_OK;
    case VT_UI1:
        *out = v.toUI1();
        return S_OK;
    case VT_R8:
        *out = v.toR8();
        return S_OK;
    case VT_BOOL:
        *out = v.toBool() ? -1 : 0;
        return S_OK;
    case VT_BSTR:
        return textToDouble(v.toStr(), f, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// Integers from doubles round half to even, as the platform's conversions do.
HRESULT toInteger(double d, double lo, double hi, double* out) {
    if (std::isnan(d))
        return DISP_E_OVERFLOW;
    const double r = std::nearbyint(d);
    if (r < lo || r > hi)
        return DISP_E_OVERFLOW;
    *out = r;
    return S_OK;
}

// The Boolean words, English or Italian, without regard to case; false for any other text.
bool boolWord(const QString& text, bool* out) {
    const QString t = text.trimmed();
    const auto is = [&](const char* word) {
        return t.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    if (is("True") || is("Vero"))
        *out = true;
    else if (is("False") || is("Falso"))
        *out = false;
    else
        return false;
    return true;
}

} // namespace

HRESULT changeType(const Variant& source, VarType to, Variant* result) {
    // The locale's separators matter only between numbers and text; reading them costs more
    // than converting a number to another number.
    VarType from = source.type();
    if (from == VT_VARIANT)
        from = source.dereferenced().type();
    const bool text =
        to == VT_BSTR || from == VT_BSTR || from == VT_DISPATCH || from == VT_UNKNOWN;
    return changeType(source, to, result, text ? userNumberFormat() : NumberFormat());
}

HRESULT changeType(const Variant& source, VarType to, Variant* result, const NumberFormat& f) {
    const Variant v = source.dereferenced();
    if (to == VT_VARIANT || v.vt() == to) {
        *result = v;
        return S_OK;
    }
    switch (v.vt()) {
    case VT_NULL:
    case VT_ERROR:
        return DISP_E_TYPEMISMATCH;
    case VT_UNKNOWN: {
        if (to != VT_DISPATCH || !v.toUnknown())
            return DISP_E_TYPEMISMATCH;
        IDispatch* d = nullptr;
        if (FAILED(v.toUnknown()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
            return DISP_E_TYPEMISMATCH;
        *result = Variant::adopt(d);
        return S_OK;
    }
    case VT_DISPATCH: {
        // An object converts through its default property, read without arguments.
        IDispatch* d = v.toDispatch();
        if (to == VT_UNKNOWN) {
            *result = Variant(static_cast<IUnknown*>(d));
            return S_OK;
        }
        if (!d)
            return DISP_E_TYPEMISMATCH;
        DISPPARAMS none;
        Variant value;
        if (FAILED(d->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value,
                             nullptr, nullptr)) ||
            value.type() == VT_DISPATCH)
            return DISP_E_TYPEMISMATCH;
        return changeType(value, to, result, f);
    }
    default:
        break;
    }

    switch (to) {
    case VT_BSTR:
        switch (v.vt()) {
        case VT_EMPTY:
            *result = Variant(QString());
            return S_OK;
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_R8: {
            // Integers have at most ten digits, so the double form writes them as they are.
            double d = 0;
            numericValue(v, f, &d);
            *result = Variant(doubleToText(d, f.decimal));
            return S_OK;
        }
        case VT_BOOL:
            *result = Variant(v.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
        }
    case VT_BOOL: {
        // Other text than the words is read as a number: non-zero is True.
        bool b = false;
        if (v.vt() == VT_BSTR && boolWord(v.toStr(), &b)) {
            *result = Variant(b);
            return S_OK;
        }
        double d = 0;
        const HRESULT hr = numericValue(v, f, &d);
        if (SUCCEEDED(hr))
            *result = Variant(d != 0);
        return hr;
    }
    case VT_R8:
    case VT_I2:
    case VT_I4:
    case VT_UI1: {
        double d = 0;
        HRESULT hr = numericValue(v, f, &d);
        if (FAILED(hr))
            return hr;
        if (to == VT_R8) {
            *result = Variant(d);
            return S_OK;
        }
        double r = 0;
        if (to == VT_I2) {
            hr = toInteger(d, -32768, 32767, &r);
            if (SUCCEEDED(hr))
                *result = Variant(int16_t(r));
        } else if (to == VT_I4) {
            hr = toInteger(d, -2147483648.0, 2147483647.0, &r);
            if (SUCCEEDED(hr))
                *result = Variant(int32_t(r));
        } else {
            hr = toInteger(d, 0, 255, &r);
            if (SUCCEEDED(hr))
                *result = Variant(uint8_t(r));
        }
        return hr;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

bool toText(const Variant& value, QString* text) {
    Variant s;
    if (FAILED(changeType(value, VT_BSTR, &s)))
        return false;
    *text = s.toStr();
    return true;
}

} // namespace tarv::com
