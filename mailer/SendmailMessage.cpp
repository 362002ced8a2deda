#include "SendmailMessage.h"

#include "MessageText.h"

#include <QDateTime>

namespace tarv {

namespace {

bool isFieldName(const QByteArray& line, qsizetype colon) {
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const uchar c = uchar(line[i]);
        if (c < 33 || c > 126)
            return false;
    }
    return true;
}

} // namespace

bool SendmailMessage::usableAddress(const QString& address) {
    if (address.isEmpty() || address.startsWith(QLatin1Char('@')) ||
        address.endsWith(QLatin1Char('@')) || !address.contains(QLatin1Char('@')))
        return false;
    for (const QChar c : address)
        if (c.isSpace() || MessageText::isControl(c) || c == QLatin1Char('<') ||
            c == QLatin1Char('>') || c == QLatin1Char(','))
            return false;
    return true;
}

QStringList SendmailMessage::addresses(const QString& value) {
    QStringList out;
    QString plain, angled;
    bool inAngle = false, hadAngle = false, quoted = false;
    int comment = 0;
    const auto finish = [&] {
        const QString a = (hadAngle ? angled : plain).trimmed();
        if (!a.isEmpty())
            out << a;
        plain.clear();
        angled.clear();
        inAngle = hadAngle = false;
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        QString& target = inAngle ? angled : plain;
        if (quoted) {
            target += c;
            if (c == QLatin1Char('\\') && i + 1 < value.size())
                target += value[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            continue;
        }
        if (comment > 0) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('('))
                ++comment;
            else if (c == QLatin1Char(')'))
                --comment;
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            target += c;
        } else if (c == QLatin1Char('(')) {
            comment = 1;
        } else if (c == QLatin1Char('<') && !inAngle) {
            inAngle = hadAngle = true;
            angled.clear();
        } else if (c == QLatin1Char('>') && inAngle) {
            inAngle = false;
        } else if (inAngle) {
            angled += c;
        } else if (c == QLatin1Char(':')) {
            plain.clear(); // a group's display name
        } else if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            finish();
        } else {
            plain += c;
        }
    }
    finish();
    return out;
}

SendmailMessage SendmailMessage::prepare(QByteArray input, const QStringList& extra,
                                         const QString& sender, bool dotEndsInput) {
    SendmailMessage m;
    if (dotEndsInput) {
        for (qsizetype at = 0; at < input.size();) {
            const qsizetype end = input.indexOf('\n', at);
            const QByteArray line = input.mid(at, end < 0 ? -1 : end - at);
            if (line == "." || line == ".\r") {
                input.truncate(at);
                break;
            }
            if (end < 0)
                break;
            at = end + 1;
        }
    }
    if (input.contains('\0')) {
        m.error = QStringLiteral("il messaggio contiene byte nulli: non spedito.");
        return m;
    }
    const QByteArray text = MessageText::normalizeLineEnds(input);

    // The header section: fields and their folded lines, up to the first empty line.
    struct Field {
        QByteArray name;      // lower case
        qsizetype start, end; // bytes of the field, line ends included
    };
    QList<Field> fields;
    qsizetype at = 0, bodyStart = text.size();
    while (at < text.size()) {
        qsizetype end = text.indexOf("\r\n", at);
        end = end < 0 ? text.size() : end + 2;
        const QByteArray line = text.mid(at, end - at);
        if (line == "\r\n") {
            bodyStart = at;
            break;
        }
        if (line.startsWith(' ') || line.startsWith('\t')) {
            if (fields.isEmpty()) {
                m.error = QStringLiteral("il messaggio comincia con una riga di continuazione: "
                                         "non spedito.");
                return m;
            }
            fields.last().end = end;
        } else {
            const qsizetype colon = line.indexOf(':');
            if (!isFieldName(line, colon)) {
                m.error = QStringLiteral("riga di intestazione non valida: \"%1\": non spedito.")
                              .arg(QString::fromUtf8(line.trimmed().left(80)));
                return m;
            }
            fields.append({line.left(colon).trimmed().toLower(), at, end});
        }
        at = end;
    }
    // Every line must cross SMTP whole.
    for (qsizetype s = 0; s < text.size();) {
        qsizetype e = text.indexOf("\r\n", s);
        if (e < 0)
            e = text.size();
        if (e - s > MessageText::kMaxLine) {
            m.error = QStringLiteral("il messaggio ha una riga più lunga di %1 byte: non spedito.")
                          .arg(MessageText::kMaxLine);
            return m;
        }
        s = e + 2;
    }

    QStringList found;
    QByteArray headers;
    bool hasFrom = false, hasDate = false, hasId = false;
    for (const Field& f : fields) {
        const QByteArray raw = text.mid(f.start, f.end - f.start);
        if (f.name == "to" || f.name == "cc" || f.name == "bcc") {
            QByteArray value = raw.mid(raw.indexOf(':') + 1);
            value.replace("\r\n", "");
            found += addresses(QString::fromUtf8(value));
        }
        hasFrom |= f.name == "from";
        hasDate |= f.name == "date";
        hasId |= f.name == "message-id";
        if (f.name != "bcc")
            headers += raw.endsWith("\r\n") ? raw : raw + "\r\n";
    }
    if (!hasFrom)
        headers += "From: " + sender.toUtf8() + "\r\n";
    if (!hasDate)
        headers += "Date: " + MessageText::dateTime(QDateTime::currentDateTime()) + "\r\n";
    if (!hasId)
        headers += "Message-ID: " + MessageText::messageId(sender) + "\r\n";
    m.bytes = headers + text.mid(bodyStart);

    for (const QString& a : found + extra) {
        if (!usableAddress(a)) {
            m.error = QStringLiteral("indirizzo non valido: \"%1\": non spedito.").arg(a);
            return m;
        }
        if (!m.recipients.contains(a, Qt::CaseInsensitive))
            m.recipients << a;
    }
    if (m.recipients.isEmpty())
        m.error = QStringLiteral("nessun destinatario: né in To, Cc, Bcc né tra gli argomenti.");
    return m;
}

} // namespace tarv
