#include "SmtpReplyBuffer.h"

#include <algorithm>

namespace tarv {

qsizetype SmtpReplyBuffer::replyLength(qsizetype from) const {
    qsizetype start = from;
    for (;;) {
        const qsizetype lf = m_pending.indexOf('\n', start);
        if (lf < 0)
            return 0;
        QByteArray line = m_pending.mid(start, lf - start);
        if (line.endsWith('\r'))
            line.chop(1);
        // A continuation line has "-" right after the code; anything else ends the reply
        // (a malformed last line included, so that it is judged rather than waited for).
        const bool continues = line.size() >= 4 && line[3] == '-';
        start = lf + 1;
        if (!continues)
            return start - from;
    }
}

QByteArray SmtpReplyBuffer::takeReply() {
    const qsizetype length = replyLength();
    if (length == 0)
        return {};
    const QByteArray reply = m_pending.left(length);
    m_pending.remove(0, length);
    m_shown = std::max<qsizetype>(0, m_shown - length);
    return reply;
}

QByteArray SmtpReplyBuffer::takeUnshownReplies() {
    const qsizetype from = m_shown;
    while (const qsizetype length = replyLength(m_shown))
        m_shown += length;
    return m_pending.mid(from, m_shown - from);
}

QByteArray SmtpReplyBuffer::takeUnshownRest() {
    const qsizetype from = m_shown;
    m_shown = m_pending.size();
    return m_pending.mid(from);
}

int SmtpReplyBuffer::codeOf(const QByteArray& reply) {
    if (reply.size() < 3)
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = reply[i];
        if (c < '0' || c > '9')
            return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

QList<QList<QByteArray>> SmtpReplyBuffer::extensions(const QByteArray& reply) {
    QList<QList<QByteArray>> result;
    const QList<QByteArray> lines = reply.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray text = lines[i].mid(4).trimmed().toUpper();
        if (text.startsWith("AUTH="))
            text[4] = ' ';
        QList<QByteArray> words = text.simplified().split(' ');
        words.removeAll(QByteArray());
        if (!words.isEmpty())
            result << words;
    }
    return result;
}

} // namespace tarv
