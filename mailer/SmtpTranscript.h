#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace tarv {

// The SMTP dialogue as it happens, line by line, each line prefixed by who said it ("S: " the
// server, "C: " velinor, "* " what happened besides: connection, encryption, the message's
// size). Written to standard error for --verbose and appended to the file named by the stored
// setting "Registro". The login tokens and the password never appear: every text the session
// names as secret is masked on the whole line, however the bytes arrived.
class SmtpTranscript {
public:
    enum class Speaker { Server, Client };

    // Writes to an open stream (standard error); the stream stays open.
    explicit SmtpTranscript(std::FILE* stream);
    // Appends to a file, created private (0600) when missing; isOpen() says whether it could
    // be opened, error() why not.
    explicit SmtpTranscript(const QString& path);
    ~SmtpTranscript();
    SmtpTranscript(const SmtpTranscript&) = delete;
    SmtpTranscript& operator=(const SmtpTranscript&) = delete;

    bool isOpen() const { return m_stream != nullptr; }
    QString error() const { return m_error; }
    // Each line of a file transcript starts with the date and time.
    bool stamped() const { return m_stamped; }

    // Bytes as they crossed the connection; whole lines are written as they complete.
    void bytes(Speaker who, const QByteArray& data, const QStringList& hidden);
    void note(const QString& text);
    // Writes what is left of unfinished lines (the connection ended).
    void flush(const QStringList& hidden);

private:
    void writeLine(Speaker who, QByteArray line, const QStringList& hidden);
    void writeText(const QByteArray& prefix, const QByteArray& text);

    std::FILE* m_stream = nullptr;
    bool m_owned = false;
    bool m_stamped = false;
    QString m_error;
    QByteArray m_pending[2];
};

} // namespace tarv
