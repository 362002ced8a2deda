#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarv {

// A whole RFC 5322 message given to the sendmail interface, made ready to send: CR LF line
// ends, the Bcc fields removed, From, Date and Message-ID added when missing, every other byte
// as it came; the recipients are those of To, Cc and Bcc and the extra addresses, each once.
struct SendmailMessage {
    QByteArray bytes;
    QStringList recipients;
    // Set when the message or an address is malformed: the one line that says why.
    QString error;

    // `dotEndsInput`: a line holding only "." ends the message (sendmail without -i).
    static SendmailMessage prepare(QByteArray input, const QStringList& extraRecipients,
                                   const QString& sender, bool dotEndsInput);
    // The addresses of an address-list field value (display names, comments, groups and
    // quoted strings understood); malformed ones come back as written.
    static QStringList addresses(const QString& fieldValue);
    // An address that can go into RCPT TO: something@something, no blanks or controls.
    static bool usableAddress(const QString& address);
};

} // namespace tarv
