#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tarv {

// The text rules of a message that must cross a 7-bit SMTP channel (RFC 5321, 5322, 2045,
// 2047, 2231) and reach any receiving server and mail reader intact.
class MessageText {
public:
    // Longest line SMTP lets through, CR LF excluded.
    static constexpr int kMaxLine = 998;

    // CR LF stays; a lone CR or a lone LF becomes CR LF.
    static QByteArray normalizeLineEnds(const QByteArray& text);
    // Transparency: every line that begins with "." gets one more "." in front, so that no
    // line of the text can end the DATA phase or lose its dot at the receiving server.
    static QByteArray dotStuff(const QByteArray& text);
    // True when the text is 7-bit (no NUL, nothing above 127) with lines of at most 998
    // bytes; expects CR LF line ends.
    static bool fitsSevenBit(const QByteArray& text);
    // Quoted-printable of a CR LF text: lines of at most 76 characters, soft breaks where
    // needed, the line ends kept as hard breaks.
    static QByteArray quotedPrintable(const QByteArray& text);
    // RFC 2047 "B" encoded words in UTF-8, none longer than 75 characters, joined by a fold
    // (CR LF and a blank). The text as it stands when it is plain printable ASCII of at most
    // maxLength characters.
    static QByteArray headerText(const QString& text, qsizetype maxLength = 900);
    // RFC 2231 extended value: UTF-8'' and the percent-encoded bytes.
    static QByteArray extendedValue(const QString& text);
    // A quoted string with its quotation marks and backslashes escaped.
    static QByteArray quoted(const QByteArray& text);

    // Control characters, line and paragraph separators included.
    static bool isControl(QChar c);
    static bool hasControl(const QString& text);
    // Control characters become blanks.
    static QString withoutControls(const QString& text);
    static bool isPrintableAscii(const QString& text);

    // Trim of blanks only (tabs and other white space stay).
    static QString trimBlanks(const QString& text);
    // The file name of a path: after its last "/", trimmed of blanks.
    static QString fileNameOf(const QString& path);
    // The domain for HELO and the Message-ID: the sender's text after its first "@", or the
    // whole text when it has none.
    static QString domainOf(const QString& sender);

    // RFC 5322 date-time in local time with its offset: "Mon, 07 Dec 2026 06:05:09 +0100".
    static QByteArray dateTime(const QDateTime& when);
    // "<unique@domain>", the domain taken from the sender (the local host name when the
    // sender has none that can stand in a message identifier).
    static QByteArray messageId(const QString& sender);
};

} // namespace tarv
