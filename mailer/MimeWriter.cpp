#include "MimeWriter.h"

#include "Base64.h"
#include "EventPump.h"
#include "MessageBoxes.h"
#include "MessageText.h"
#include "ProgramSettings.h"
#include "SendView.h"
#include "Services.h"

#include <QFile>
#include <QLocale>
#include <QThread>

#include <cmath>

namespace tarv {

namespace {

const QByteArray kBoundary = "NextMimePart";
const QByteArray kCrLf = "\r\n";

void pump() {
    if (EventPump* p = Services::current().pump)
        p->pump();
}

qint64 now() {
    Clock* c = Services::current().clock;
    return c ? c->milliseconds() : 0;
}

int widthOf(double fraction, int full) {
    return int(std::lround(fraction * full));
}

QString percentText(double percent) {
    return QString::number(qint64(std::floor(percent))) + QLatin1Char('%');
}

// Input bytes encoded at a time: a whole number of 76-character lines (57 bytes each), so
// that the spanned pieces join into exactly the spanned text of the whole file.
constexpr qsizetype kEncodeChunk = 57 * 1024;

} // namespace

MimeWriter::MimeWriter(SendView& view, Base64& base64, std::function<bool(const QByteArray&)> send,
                       bool hasAttachments, QStringList attachments, qint64 pauseMs)
    : m_view(view), m_base64(base64), m_send(std::move(send)), m_hasAttachments(hasAttachments),
      m_attachments(std::move(attachments)), m_pauseMs(pauseMs) {}

QByteArray MimeWriter::composeText(const QString& from, const QString& to, const QString& subject,
                                   const QString& body, bool withAttachments,
                                   const QByteArray& date, const QByteArray& messageId) {
    const QByteArray bodyBytes = MessageText::normalizeLineEnds(body.toUtf8());
    const bool bodyPlain = MessageText::fitsSevenBit(bodyBytes);
    const QByteArray bodyText = bodyPlain ? bodyBytes : MessageText::quotedPrintable(bodyBytes);
    const QByteArray bodyHeaders =
        bodyPlain ? QByteArray()
                  : QByteArray("Content-Type: text/plain; charset=UTF-8\r\n"
                               "Content-Transfer-Encoding: quoted-printable\r\n");
    const QByteArray subjectText = MessageText::headerText(MessageText::withoutControls(subject));

    QByteArray text;
    text += "From: " + from.toUtf8() + kCrLf;
    text += "To: " + to.toUtf8() + kCrLf;
    text += "Date: " + date + kCrLf;
    text += "Message-ID: " + messageId + kCrLf;
    if (!withAttachments) {
        text += "Subject: " + subjectText + kCrLf;
        if (!bodyPlain)
            text += "Mime-Version: 1.0\r\n" + bodyHeaders;
        text += kCrLf;
        text += bodyText;
        return text;
    }
    text += "X-Mailer: LodvanSender v1.1 \r\n";
    text += "Subject: " + subjectText + kCrLf;
    text += "Mime-Version: 1.0\r\n";
    text += "Content-Type: multipart/mixed; boundary=\"" + kBoundary + "\"\r\n";
    text += "Content-Transfer-Encoding: 7bit\r\n";
    text += kCrLf;
    text += "This is a multi-part message in MIME format.\r\n";
    text += "--" + kBoundary + kCrLf;
    text += "--" + kBoundary + kCrLf;
    text += bodyHeaders;
    text += kCrLf;
    text += bodyText;
    return text;
}

QByteArray MimeWriter::partHeader(const QString& fileName) {
    QByteArray nameParameter, filenameParameter;
    if (MessageText::isPrintableAscii(fileName)) {
        const QByteArray q = MessageText::quoted(fileName.toLatin1());
        nameParameter = "name=" + q;
        filenameParameter = "filename=" + q;
    } else {
        nameParameter = "name=\"" + MessageText::headerText(fileName, 0) + '"';
        filenameParameter = "filename*=" + MessageText::extendedValue(fileName);
    }
    return kCrLf + "--" + kBoundary + kCrLf + "Content-Type: application/octet-stream; " +
           nameParameter + kCrLf +
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; " +
           filenameParameter + kCrLf + kCrLf;
}

QString MimeWriter::largeFileQuestion(qint64 bytes) {
    const double megabytes = std::round(double(bytes) / 1048576.0 * 100.0) / 100.0;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString size = locale.toString(megabytes, 'f', 2);
    // Written as a number is written: no trailing zeros, no separator without decimals.
    const QString separator = locale.decimalPoint();
    if (size.contains(separator)) {
        while (size.endsWith(QLatin1Char('0')))
            size.chop(1);
        if (size.endsWith(separator))
            size.chop(separator.size());
    }
    return QStringLiteral("Il File è ") + size +
           QStringLiteral(" MB Click Yes per procedere, No per saltare o Cancel se non vuoi "
                          "vedere questo messaggio in futuro");
}

bool MimeWriter::sendPiece(const QByteArray& piece) {
    return m_send(piece);
}

void MimeWriter::pauseBeforePiece() {
    if (m_pauseMs <= 0)
        return;
    const qint64 start = now();
    while (now() - start < m_pauseMs) {
        pump();
        QThread::msleep(1);
    }
}

MimeWriter::Outcome MimeWriter::SendMimetxt(const QString& txtFrom, const QString& txtTo,
                                            const QString& txtSubjekt, const QString& txtMail) {
    const QByteArray text = MessageText::dotStuff(composeText(
        txtFrom, txtTo, txtSubjekt, txtMail, m_hasAttachments,
        MessageText::dateTime(QDateTime::currentDateTime()), MessageText::messageId(txtFrom)));
    const qsizetype total = text.size();
    for (qsizetype s = 0; s < total; s += kPieceSize) {
        const QByteArray piece = text.mid(s, kPieceSize);
        if (!sendPiece(piece))
            return Outcome::SendFailed;
        const qsizetype sent = s + piece.size();
        const double fraction = double(sent) / double(total);
        m_view.setProgressWidth(widthOf(fraction, kFullWidth));
        m_view.setPercent(percentText(fraction * 100.0));
        m_view.setStatus(
            QStringLiteral("Sending message body... %1 Bytes from %2").arg(sent).arg(total));
        pump();
    }
    if (!m_hasAttachments)
        return sendPiece("\r\n.\r\n") ? Outcome::Sent : Outcome::SendFailed;
    return Invia_Allegati();
}

MimeWriter::Outcome MimeWriter::Invia_Allegati() {
    MessageBoxes* boxes = Services::current().messageBoxes;
    for (const QString& path : m_attachments) {
        const QString name = MessageText::fileNameOf(path);
        if (!sendPiece(partHeader(name)))
            return Outcome::SendFailed;

        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_failedFile = path;
            return Outcome::AttachmentFailed;
        }
        const qint64 size = file.size();
        if (size > kLargeFile && !m_unattended &&
            ProgramSettings::largeAttachmentSetting() != QLatin1String("True")) {
            const MsgAnswer answer =
                boxes ? boxes->show(MessageBoxRequest{QString(), largeFileQuestion(size),
                                                      MsgButtons::YesNoCancel, MsgIcon::Question, 0,
                                                      m_view.owner()})
                      : MsgAnswer::Yes;
            if (answer == MsgAnswer::No)
                continue;
            if (answer != MsgAnswer::Yes)
                ProgramSettings::saveLargeAttachmentSetting(QStringLiteral("True"));
        }

        m_view.setStatus(QStringLiteral("Loading \"") + path + QLatin1Char('"'));
        QByteArray data;
        data.reserve(size);
        for (;;) {
            const QByteArray block = file.read(kReadBlock);
            if (block.isEmpty()) {
                if (file.error() != QFileDevice::NoError) {
                    m_failedFile = path;
                    return Outcome::AttachmentFailed;
                }
                break; // end of the file
            }
            data.append(block);
            const double fraction =
                double(data.size()) / double(std::max<qint64>(size, data.size()));
            m_view.setProgressWidth(widthOf(fraction * 0.5, kFullWidth));
            m_view.setPercent(percentText(fraction * 50.0));
            pump();
        }
        file.close();
        if (data.isEmpty())
            continue;

        const qsizetype total =
            Base64::spannedLength(Base64::encodedLength(data.size()), kLineLength);
        QByteArray pending, encoded, spanned;
        qsizetype consumed = 0, sent = 0;
        while (sent < total) {
            while (pending.size() < kPieceSize && consumed < data.size()) {
                const QByteArray chunk = data.mid(consumed, kEncodeChunk);
                consumed += chunk.size();
                m_base64.EncodeB64(chunk, encoded);
                m_base64.Span(kLineLength, encoded, spanned);
                pending.append(spanned);
            }
            const QByteArray piece = pending.left(kPieceSize);
            pending.remove(0, piece.size());
            pauseBeforePiece();
            if (!sendPiece(piece))
                return Outcome::SendFailed;
            sent += piece.size();
            const double fraction = double(sent) / double(total);
            m_view.setProgressWidth(kHalfWidth + widthOf(fraction * 0.5, kFullWidth));
            m_view.setPercent(percentText(fraction * 50.0 + 50.0));
            m_view.setStatus(QStringLiteral("Sending %1... %2 Bytes from %3")
                                 .arg(name, QString::number(sent), QString::number(total)));
            pump();
        }
    }
    if (!sendPiece("\r\n--" + kBoundary + "--\r\n"))
        return Outcome::SendFailed;
    return sendPiece("\r\n.\r\n") ? Outcome::Sent : Outcome::SendFailed;
}

} // namespace tarv
