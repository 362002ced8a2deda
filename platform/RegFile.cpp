#include "RegFile.h"

#include "RegistryStore.h"

#include <QStringList>

#include <vector>

namespace tarv {

namespace {

QString escaped(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '"': out += QLatin1String("\\\""); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\n': out += QLatin1String("\\n"); break;
        default: out += c;
        }
    }
    return out;
}

QString hexBytes(const QByteArray& data) {
    QStringList parts;
    for (char c : data)
        parts << QStringLiteral("%1").arg(uint8_t(c), 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(','));
}

QString valueLine(const QString& name, uint32_t type, const QByteArray& data) {
    const QString left = name.isEmpty() ? QStringLiteral("@") : QLatin1Char('"') + escaped(name) + QLatin1Char('"');
    if (type == REG_SZ && data.endsWith('\0') && data.indexOf('\0') == data.size() - 1)
        return left + QStringLiteral("=\"") + escaped(RegistryStore::stringFromData(data)) + QLatin1Char('"');
    if (type == REG_DWORD && data.size() == 4)
        return left + QStringLiteral("=dword:%1").arg(RegistryStore::dwordFromData(data), 8, 16, QLatin1Char('0'));
    if (type == REG_BINARY)
        return left + QStringLiteral("=hex:") + hexBytes(data);
    return left + QStringLiteral("=hex(%1):").arg(type, 0, 16) + hexBytes(data);
}

bool exportTree(RegistryStore& store, int32_t root, const QString& path, QString* out, QString* error) {
    const QString fullName = RegistryStore::rootName(root) + (path.isEmpty() ? QString() : QLatin1Char('\\') + path);
    *out += QLatin1Char('[') + fullName + QStringLiteral("]\r\n");
    QString name;
    uint32_t type = 0;
    QByteArray data;
    RegStatus st;
    for (int i = 0; (st = store.enumValue(root, path, i, &name, &type, &data)) == RegStatus::Ok; ++i)
        *out += valueLine(name, type, data) + QStringLiteral("\r\n");
    if (st != RegStatus::NoMoreItems) {
        *error = store.lastError().isEmpty() ? QStringLiteral("chiave non trovata: %1").arg(fullName)
                                             : store.lastError();
        return false;
    }
    *out += QStringLiteral("\r\n");
    QStringList children;
    for (int i = 0; store.enumKey(root, path, i, &name) == RegStatus::Ok; ++i)
        children << name;
    for (const QString& child : children)
        if (!exportTree(store, root, path.isEmpty() ? child : path + QLatin1Char('\\') + child, out, error))
            return false;
    return true;
}

struct Operation {
    int32_t root = 0;
    QString path;
    bool isValue = false;
    QString name;
    uint32_t type = REG_SZ;
    QByteArray data;
};

// Reads a quoted string at s[*pos] (which is '"'); false when it does not close.
bool readQuoted(const QString& s, qsizetype* pos, QString* out) {
    out->clear();
    for (qsizetype i = *pos + 1; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('"')) {
            *pos = i + 1;
            return true;
        }
        if (c == QLatin1Char('\\')) {
            if (++i >= s.size())
                return false;
            switch (s[i].unicode()) {
            case '\\': *out += QLatin1Char('\\'); break;
            case '"': *out += QLatin1Char('"'); break;
            case 'r': *out += QLatin1Char('\r'); break;
            case 'n': *out += QLatin1Char('\n'); break;
            default: return false;
            }
            continue;
        }
        *out += c;
    }
    return false;
}

bool parseHex(const QString& text, QByteArray* out) {
    out->clear();
    const QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    for (const QString& part : t.split(QLatin1Char(','))) {
        bool ok = false;
        const uint v = part.trimmed().toUInt(&ok, 16);
        if (!ok || v > 0xff || part.trimmed().size() > 2)
            return false;
        out->append(char(v));
    }
    return true;
}

} // namespace

bool RegFile::exportKey(RegistryStore& store, int32_t root, const QString& path, QByteArray* text,
                        QString* error) {
    if (store.openKey(root, path) != RegStatus::Ok) {
        *error = store.lastError().isEmpty()
                     ? QStringLiteral("chiave non trovata: %1\\%2").arg(RegistryStore::rootName(root), path)
                     : store.lastError();
        return false;
    }
    QString out = QStringLiteral("REGEDIT4\r\n\r\n");
    if (!exportTree(store, root, path, &out, error))
        return false;
    *text = out.toUtf8();
    return true;
}

bool RegFile::importText(RegistryStore& store, const QByteArray& bytes, QString* error) {
    QString text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n'));

    auto fail = [&](int line, const QString& why) {
        *error = QStringLiteral("riga %1: %2").arg(line).arg(why);
        return false;
    };
    std::vector<Operation> ops;
    int firstLine = 0;
    while (firstLine < lines.size() && lines[firstLine].trimmed().isEmpty())
        ++firstLine;
    if (firstLine >= lines.size() || lines[firstLine].trimmed() != QLatin1String("REGEDIT4"))
        return fail(firstLine + 1, QStringLiteral("manca l'intestazione REGEDIT4"));

    bool haveKey = false;
    Operation current;
    for (int i = firstLine + 1; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i].trimmed();
        // Hexadecimal data may go on over lines that end in a backslash.
        while (line.endsWith(QLatin1Char('\\')) && line.contains(QLatin1String("=hex")) && i + 1 < lines.size())
            line = line.chopped(1) + lines[++i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail(lineNo, QStringLiteral("nome di chiave senza ']'"));
            Operation key;
            if (!RegistryStore::parseKeyName(line.mid(1, line.size() - 2), &key.root, &key.path))
                return fail(lineNo, QStringLiteral("radice sconosciuta in %1").arg(line));
            ops.push_back(key);
            current = key;
            haveKey = true;
            continue;
        }
        if (!haveKey)
            return fail(lineNo, QStringLiteral("valore prima di ogni chiave"));
        Operation value = current;
        value.isValue = true;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            if (!readQuoted(line, &pos, &value.name))
                return fail(lineNo, QStringLiteral("nome di valore non chiuso o con un escape non valido"));
        } else {
            return fail(lineNo, QStringLiteral("riga non riconosciuta: %1").arg(line));
        }
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            return fail(lineNo, QStringLiteral("manca '=' dopo il nome del valore"));
        const QString data = line.mid(pos + 1);
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype dpos = 0;
            QString s;
            if (!readQuoted(data, &dpos, &s) || dpos != data.size())
                return fail(lineNo, QStringLiteral("stringa non chiusa o con un escape non valido"));
            value.type = REG_SZ;
            value.data = RegistryStore::stringData(s);
        } else if (data.startsWith(QLatin1String("dword:"))) {
            bool ok = false;
            const QString digits = data.mid(6);
            const uint v = digits.toUInt(&ok, 16);
            if (!ok || digits.size() != 8)
                return fail(lineNo, QStringLiteral("dword non valida: %1").arg(data));
            value.type = REG_DWORD;
            value.data = RegistryStore::dwordData(v);
        } else if (data.startsWith(QLatin1String("hex:"))) {
            value.type = REG_BINARY;
            if (!parseHex(data.mid(4), &value.data))
                return fail(lineNo, QStringLiteral("dati esadecimali non validi"));
        } else if (data.startsWith(QLatin1String("hex("))) {
            const qsizetype close = data.indexOf(QLatin1String("):"));
            bool ok = false;
            value.type = close > 4 ? data.mid(4, close - 4).toUInt(&ok, 16) : 0;
            if (!ok || !parseHex(data.mid(close + 2), &value.data))
                return fail(lineNo, QStringLiteral("dati esadecimali non validi"));
        } else {
            return fail(lineNo, QStringLiteral("dato non riconosciuto: %1").arg(data));
        }
        ops.push_back(value);
    }

    for (const Operation& op : ops) {
        const RegStatus st = op.isValue ? store.setValue(op.root, op.path, op.name, op.type, op.data)
                                        : store.createKey(op.root, op.path);
        if (st != RegStatus::Ok) {
            *error = store.lastError().isEmpty()
                         ? QStringLiteral("impossibile scrivere %1\\%2").arg(RegistryStore::rootName(op.root), op.path)
                         : store.lastError();
            return false;
        }
    }
    return true;
}

} // namespace tarv
