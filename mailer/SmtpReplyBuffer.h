#pragma once

#include <QByteArray>
#include <QList>

namespace tarv {

// Gathers received bytes into whole SMTP replies (RFC 5321 4.2): "xyz-text" lines continue a
// reply, which ends with a line whose fourth character is a blank or a line of just the three
// characters. A reply may arrive over several reads, and one read may hold several replies.
class SmtpReplyBuffer {
public:
    void append(const QByteArray& bytes) { m_pending.append(bytes); }
    void clear() { m_pending.clear(); }
    bool isEmpty() const { return m_pending.isEmpty(); }
    qsizetype size() const { return m_pending.size(); }

    // True when a whole reply is waiting.
    bool hasReply() const { return replyLength() > 0; }
    // Takes the first whole reply out of the buffer (all of its lines); empty when there is
    // none yet.
    QByteArray takeReply();

    // The reply's code: its first three characters when they are digits, else -1.
    static int codeOf(const QByteArray& reply);
    // The words of an EHLO reply's lines after the first (RFC 5321 4.1.1.1), each line's
    // keyword and parameters upper-cased: "250-AUTH LOGIN plain" gives {"AUTH", "LOGIN",
    // "PLAIN"}. The old form "AUTH=LOGIN" counts as "AUTH LOGIN".
    static QList<QList<QByteArray>> extensions(const QByteArray& reply);

private:
    qsizetype replyLength() const;
    QByteArray m_pending;
};

} // namespace tarv
