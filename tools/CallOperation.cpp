#include "CallOperation.h"

#include "Collection.h"
#include "Conversions.h"
#include "DispatchCall.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <string>

namespace tarv {

using com::Variant;

namespace {

bool isIdentifier(const QString& s) {
    if (s.isEmpty() || !(s[0].isLetter() || s[0] == u'_'))
        return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

bool parseString(const QString& t, Variant* out, QString* error) {
    QString s;
    for (int i = 1; i < t.size() - 1; ++i) {
        if (t[i] == u'\\' && i + 1 < t.size() - 1) {
            static const QString escapes = QStringLiteral("\"\\nrt0");
            static const QChar meanings[] = {u'"', u'\\', u'\n', u'\r', u'\t', QChar(0)};
            const qsizetype k = escapes.indexOf(t[i + 1]);
            if (k >= 0) {
                s += meanings[k];
                ++i;
                continue;
            }
        }
        if (t[i] == u'"') {
            *error = QStringLiteral("virgolette non precedute da \\ nella stringa %1").arg(t);
            return false;
        }
        s += t[i];
    }
    *out = Variant(s);
    return true;
}

bool parseNumber(const QString& t, Variant* out) {
    const std::string s = t.toStdString();
    const char* b = s.data();
    const char* e = b + s.size();
    bool negative = false;
    const char* p = b;
    if (p < e && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    if (p == e || *p == '-' || *p == '+')
        return false;
    if (e - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        uint64_t v = 0;
        const auto r = std::from_chars(p + 2, e, v, 16);
        if (r.ec != std::errc() || r.ptr != e || v > 0xFFFFFFFFull)
            return false;
        // As a C int of 32 bits: 0x80000000 and above wrap to negative values.
        int64_t x = v <= 0x7FFFFFFF ? int64_t(v) : int64_t(int32_t(uint32_t(v)));
        if (negative)
            x = -x;
        if (x >= -32768 && x <= 32767)
            *out = Variant(int16_t(x));
        else if (x >= INT32_MIN && x <= INT32_MAX)
            *out = Variant(int32_t(x));
        else
            *out = Variant(double(x));
        return true;
    }
    bool integral = true;
    for (const char* q = p; q < e; ++q)
        if (!(*q >= '0' && *q <= '9'))
            integral = false;
    if (integral && p < e) {
        int64_t v = 0;
        const auto r = std::from_chars(p, e, v);
        if (r.ec == std::errc() && r.ptr == e) {
            if (negative)
                v = -v;
            if (v >= -32768 && v <= 32767)
                *out = Variant(int16_t(v));
            else if (v >= INT32_MIN && v <= INT32_MAX)
                *out = Variant(int32_t(v));
            else
                *out = Variant(double(v));
            return true;
        }
    }
    double d = 0;
    const auto r = std::from_chars(p, e, d);
    if (p == e || r.ec != std::errc() || r.ptr != e || std::isinf(d) || std::isnan(d))
        return false;
    *out = Variant(negative ? -d : d);
    return true;
}

// Splits at top-level commas, keeping quoted text whole.
bool splitArguments(const QString& s, QStringList* parts, QString* error) {
    QString cur;
    bool quoted = false;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (quoted) {
            cur += c;
            if (c == u'\\' && i + 1 < s.size()) {
                cur += s[++i];
            } else if (c == u'"') {
                quoted = false;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            cur += c;
        } else if (c == u',') {
            *parts << cur.trimmed();
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (quoted) {
        *error = QStringLiteral("stringa non chiusa: %1").arg(s);
        return false;
    }
    *parts << cur.trimmed();
    return true;
}

} // namespace

bool parseLiteral(const QString& text, const EnumLookup& enums, Variant* out, QString* error) {
    const QString t = text.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('"')) && t.endsWith(QLatin1Char('"')))
        return parseString(t, out, error);
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        *out = Variant(true);
        return true;
    }
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        *out = Variant(false);
        return true;
    }
    if (t.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0) {
        *out = Variant::null();
        return true;
    }
    int32_t value = 0;
    if (isIdentifier(t) && enums && enums(t, &value)) {
        *out = Variant(value);
        return true;
    }
    if (!t.isEmpty() && parseNumber(t, out))
        return true;
    *error = QStringLiteral("valore non valido: %1").arg(t);
    return false;
}

bool parseOperation(const QString& text, const EnumLookup& enums, CallOperation* op,
                    QString* error) {
    const QString t = text.trimmed();
    const int eq = int(t.indexOf(QLatin1Char('=')));
    const int paren = int(t.indexOf(QLatin1Char('(')));
    if (eq > 0 && (paren < 0 || eq < paren)) {
        op->kind = CallOperation::Put;
        op->name = t.left(eq).trimmed();
        if (!isIdentifier(op->name)) {
            *error = QStringLiteral("nome non valido: %1").arg(op->name);
            return false;
        }
        return parseLiteral(t.mid(eq + 1), enums, &op->value, error);
    }
    op->kind = CallOperation::Get;
    op->args.clear();
    if (paren < 0) {
        op->name = t;
        if (!isIdentifier(t)) {
            *error = QStringLiteral("operazione non valida: %1").arg(t);
            return false;
        }
        return true;
    }
    op->name = t.left(paren).trimmed();
    if (!isIdentifier(op->name) || !t.endsWith(QLatin1Char(')'))) {
        *error = QStringLiteral("operazione non valida: %1").arg(t);
        return false;
    }
    const QString inner = t.mid(paren + 1, t.size() - paren - 2);
    if (inner.trimmed().isEmpty())
        return true;
    QStringList parts;
    if (!splitArguments(inner, &parts, error))
        return false;
    for (const QString& p : parts) {
        if (p.isEmpty()) {
            op->args.emplace_back(std::nullopt);
            continue;
        }
        Variant v;
        if (!parseLiteral(p, enums, &v, error))
            return false;
        op->args.emplace_back(std::move(v));
    }
    return true;
}

QString resultText(const Variant& value) {
    const Variant d = value.dereferenced();
    if (d.isNull())
        return QStringLiteral("Null");
    QString t;
    if (com::toText(d, &t))
        return t;
    if (d.type() == com::VT_ERROR)
        return QStringLiteral("Errore 0x%1").arg(uint32_t(d.toError()), 8, 16, QLatin1Char('0'));
    return QStringLiteral("(oggetto)");
}

com::HRESULT callOperation(com::IDispatch* object, const com::InterfaceInfo* info,
                           const CallOperation& op, QStringList* lines,
                           const com::MemberInfo** member, com::ErrorInfo* failure) {
    std::vector<Variant> values;
    values.reserve(op.args.size());
    std::vector<Variant> callArgs;
    for (const auto& a : op.args) {
        values.push_back(a ? *a : Variant());
        callArgs.push_back(a ? Variant::byRef(&values.back()) : Variant::missing());
    }
    const std::vector<Variant> before = values;
    Variant result;
    const com::HRESULT hr =
        com::invokeByName(object, op.name, com::DISPATCH_METHOD | com::DISPATCH_PROPERTYGET,
                          callArgs, &result, failure);
    *member = nullptr;
    if (com::FAILED(hr))
        return hr;
    if (info) {
        const com::DISPID id = info->idOfName(op.name);
        *member = info->find(id, com::MemberKind::Method);
        if (!*member)
            *member = info->find(id, com::MemberKind::PropertyGet);
    }
    if (!*member || (*member)->result != com::VT_VOID) {
        std::vector<Variant> items;
        if (result.type() == com::VT_DISPATCH && result.toDispatch() &&
            com::SUCCEEDED(com::collectionItems(result.toDispatch(), &items)))
            for (const Variant& item : items)
                *lines << resultText(item);
        else
            *lines << resultText(result);
    }
    for (size_t k = 0; k < values.size(); ++k) {
        if (!op.args[k] || resultText(values[k]) == resultText(before[k]))
            continue;
        const QString name = *member && k < (*member)->params.size() ? (*member)->params[k].name
                                                                     : QString::number(k + 1);
        *lines << QStringLiteral("%1 -> %2").arg(name, resultText(values[k]));
    }
    return hr;
}

} // namespace tarv
