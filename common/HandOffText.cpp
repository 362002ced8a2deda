#include "HandOffText.h"

namespace tarv {

namespace {
bool endsLine(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar(0);
}

qsizetype firstBreak(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i)
        if (endsLine(s[i]))
            return i;
    return -1;
}
} // namespace

HandOffText HandOffText::encode(const QString& text) {
    const qsizetype cut = firstBreak(text);
    if (cut < 0)
        return {text, std::nullopt};
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == QChar(0))
            escaped += QStringLiteral("\\0");
        else
            escaped += c;
    }
    // Quoted, so that the reader's removal of outer quotes and blanks gives the line back
    // exactly.
    const QChar quote = u'"';
    return {quote + text.left(cut) + quote, quote + escaped + quote};
}

QString HandOffText::decode(const QString& testo, const QString& testoIntero) {
    if (testoIntero.isEmpty())
        return testo;
    QString text;
    text.reserve(testoIntero.size());
    for (qsizetype i = 0; i < testoIntero.size(); ++i) {
        const QChar c = testoIntero[i];
        if (c != u'\\' || i + 1 == testoIntero.size()) {
            text += c;
            continue;
        }
        const QChar e = testoIntero[++i];
        if (e == u'\\')
            text += u'\\';
        else if (e == u'r')
            text += u'\r';
        else if (e == u'n')
            text += u'\n';
        else if (e == u'0')
            text += QChar(0);
        else
            text += c, text += e;
    }
    const qsizetype cut = firstBreak(text);
    return text.left(cut < 0 ? text.size() : cut) == testo ? text : testo;
}

} // namespace tarv
