#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace tarv {

class Base64;
class SendView;

// Writes a message onto the connection after the server's 354: the header block and body,
// then (with attachments) one Base64 part per file and the closing boundary, and finally the
// line "." that ends DATA. Progress, percentage and status follow the writing on the view.
class MimeWriter {
public:
    enum class Outcome {
        Sent,             // the whole message, "." included, went out
        SendFailed,       // the connection failed or was closed; already reported
        AttachmentFailed, // a file could not be read; failedFile names it
    };

    static constexpr qsizetype kPieceSize = 8192;
    static constexpr qsizetype kReadBlock = 32768;
    static constexpr int kLineLength = 76;
    static constexpr qint64 kDefaultPauseMs = 3000;
    static constexpr qint64 kLargeFile = 2097152;
    static constexpr int kFullWidth = 4740;
    static constexpr int kHalfWidth = 2370;

    // send passes one piece to the connection (Invia_Testo) and says whether it went out.
    MimeWriter(SendView& view, Base64& base64, std::function<bool(const QByteArray&)> send,
               bool hasAttachments, QStringList attachments, qint64 pauseMs = kDefaultPauseMs);

    Outcome SendMimetxt(const QString& txtFrom, const QString& txtTo, const QString& txtSubjekt,
                        const QString& txtMail);
    Outcome Invia_Allegati();

    QString failedFile() const { return m_failedFile; }
    // With no one at the keyboard a large file is sent without asking.
    void setUnattended(bool unattended) { m_unattended = unattended; }

    // The header block and body as they go out (before transparency), for the layout that
    // the attachment list selects. Exposed for the tests of the layouts.
    static QByteArray composeText(const QString& from, const QString& to, const QString& subject,
                                  const QString& body, bool withAttachments, const QByteArray& date,
                                  const QByteArray& messageId);
    // The header of one attachment's part, from the CR LF before its boundary to the empty
    // line after its headers.
    static QByteArray partHeader(const QString& fileName);
    // "Il File è <size> MB ..." with the size in MB, rounded to two decimals, written with
    // the decimal separator of the default locale.
    static QString largeFileQuestion(qint64 bytes);

private:
    bool sendPiece(const QByteArray& piece);
    void pauseBeforePiece();

    SendView& m_view;
    Base64& m_base64;
    std::function<bool(const QByteArray&)> m_send;
    bool m_hasAttachments;
    QStringList m_attachments;
    qint64 m_pauseMs;
    bool m_unattended = false;
    QString m_failedFile;
};

} // namespace tarv
