#include "MessageText.h"

#include "WSKSOCK.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QRandomGenerator>

namespace tarv {

QByteArray MessageText::normalizeLineEnds(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 32);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\r\n");
            if (i + 1 < n && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n");
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray MessageText::dotStuff(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + 16);
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && c == '.')
            out.append('.');
        out.append(c);
        lineStart = c == '\n';
    }
    return out;
}

bool MessageText::fitsSevenBit(const QByteArray& text) {
    qsizetype line = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0 || c > 127)
            return false;
        if (c == '\n' || c == '\r') {
            line = 0;
            continue;
        }
        if (++line > kMaxLine)
            return false;
    }
    return true;
}

QByteArray MessageText::quotedPrintable(const QByteArray& text) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 3 / 2 + 16);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype l = 0; l < lines.size(); ++l) {
        QByteArray line = lines[l];
        const bool hardBreak = l + 1 < lines.size();
        if (hardBreak && line.endsWith('\r'))
            line.chop(1);
        int column = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            QByteArray token;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                token = QByteArray(1, char(c));
            else
                token = QByteArray("=") + hex[c >> 4] + hex[c & 15];
            // Keep room for the "=" of a soft break.
            if (column + token.size() > (last ? 76 : 75)) {
                out.append("=\r\n");
                column = 0;
            }
            out.append(token);
            column += int(token.size());
        }
        if (hardBreak)
            out.append("\r\n");
    }
    return out;
}

bool MessageText::isPrintableAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

QByteArray MessageText::headerText(const QString& text, qsizetype maxLength) {
    if (isPrintableAscii(text) && text.size() <= maxLength)
        return text.toLatin1();
    // 45 bytes make 60 Base64 characters: with "=?UTF-8?B?" and "?=" a word of 72.
    constexpr qsizetype kBytesPerWord = 45;
    QList<QByteArray> words;
    QByteArray chunk;
    const auto flush = [&] {
        if (!chunk.isEmpty())
            words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, len).toUtf8();
        i += len - 1;
        if (chunk.size() + bytes.size() > kBytesPerWord)
            flush();
        chunk.append(bytes);
    }
    flush();
    return words.join("\r\n ");
}

QByteArray MessageText::extendedValue(const QString& text) {
    QByteArray out("UTF-8''");
    const QByteArray bytes = text.toUtf8();
    out.append(bytes.toPercentEncoding("!#$&+^`|~", "'*%()"));
    return out;
}

QByteArray MessageText::quoted(const QByteArray& text) {
    QByteArray out("\"");
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out.append('\\');
        out.append(c);
    }
    out.append('"');
    return out;
}

bool MessageText::isControl(QChar c) {
    return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
}

bool MessageText::hasControl(const QString& text) {
    for (const QChar c : text)
        if (isControl(c))
            return true;
    return false;
}

QString MessageText::withoutControls(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (isControl(c))
            c = QLatin1Char(' ');
    return out;
}

QString MessageText::trimBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString MessageText::fileNameOf(const QString& path) {
    return trimBlanks(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

QString MessageText::domainOf(const QString& sender) {
    const qsizetype at = sender.indexOf(QLatin1Char('@'));
    return at < 0 ? sender : sender.mid(at + 1);
}

QByteArray MessageText::dateTime(const QDateTime& when) {
    static const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(absOffset / 60, 2, 10, QLatin1Char('0'))
        .arg(absOffset % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

QByteArray MessageText::messageId(const QString& sender) {
    static QAtomicInteger<quint32> counter;
    // A domain of letters, digits, dots and hyphens only, so that the identifier always
    // parses; anything else falls back to this machine's name.
    QString domain = trimBlanks(domainOf(sender));
    const QString allowed =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-");
    const auto usable = [&](const QString& d) {
        if (d.isEmpty() || !sender.contains(QLatin1Char('@')))
            return false;
        for (const QChar c : d)
            if (!allowed.contains(c))
                return false;
        return true;
    };
    if (!usable(domain)) {
        domain.clear();
        for (const QChar c : WSKSOCK::LocalHostName())
            if (allowed.contains(c))
                domain.append(c);
        if (domain.isEmpty())
            domain = QStringLiteral("localhost");
    }
    const QByteArray unique = QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + '.' +
                              QByteArray::number(QCoreApplication::applicationPid(), 36) + '.' +
                              QByteArray::number(counter.fetchAndAddRelaxed(1) + 1, 36) + '.' +
                              QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    return '<' + unique + '@' + domain.toLatin1() + '>';
}

} // namespace tarv
