#pragma once

#include <QByteArray>
#include <QList>

namespace tarv {

// Gathers received bytes into whole SMTP replies (RFC 5321 4.2): "xyz-text" lines continue a
// reply, which ends with a line whose fourth character is a blank or a line of just the three
// characters. A reply may arrive over several reads, and one read may hold several replies.
//
// The buffer also keeps what of it has been shown: the echo shows whole replies only, so that
// a text hidden from the echo (a login token) is always replaced within one piece of text,
// however the server's bytes were cut into reads.
class SmtpReplyBuffer {
public:
    void append(const QByteArray& bytes) { m_pending.append(bytes); }
    void clear() {
        m_pending.clear();
        m_shown = 0;
    }
    bool isEmpty() const { return m_pending.isEmpty(); }
    qsizetype size() const { return m_pending.size(); }

    // True when a whole reply is waiting.
    bool hasReply() const { return replyLength() > 0; }
    // Takes the first whole reply out of the buffer (all of its lines); empty when there is
    // none yet.
    QByteArray takeReply();

    // The whole replies not shown yet, all together; they count as shown from now on.
    QByteArray takeUnshownReplies();
    // Everything not shown yet, whole replies or not (what a closed connection left behind).
    QByteArray takeUnshownRest();

    // The reply's code: its first three characters when they are digits, else -1.
    static int codeOf(const QByteArray& reply);
    // The words of an EHLO reply's lines after the first (RFC 5321 4.1.1.1), each line's
    // keyword and parameters upper-cased: "250-AUTH LOGIN plain" gives {"AUTH", "LOGIN",
    // "PLAIN"}. The old form "AUTH=LOGIN" counts as "AUTH LOGIN".
    static QList<QList<QByteArray>> extensions(const QByteArray& reply);

private:
    // The length of the whole reply that starts at `from`, 0 when it is not whole yet.
    qsizetype replyLength(qsizetype from = 0) const;
    QByteArray m_pending;
    // How many bytes at the front of m_pending have been shown (always a reply boundary,
    // except after takeUnshownRest).
    qsizetype m_shown = 0;
};

} // namespace tarv
