#include "SmtpTranscript.h"

#include "PasswordStore.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarv {

namespace {

// A line kept whole is at most this long; a longer one is written in pieces.
constexpr qsizetype kLongestLine = 4096;

} // namespace

SmtpTranscript::SmtpTranscript(std::FILE* stream) : m_stream(stream) {}

SmtpTranscript::SmtpTranscript(const QString& path) : m_owned(true), m_stamped(true) {
    // Not blocking on the open, so that a FIFO or a device named by mistake is refused at once
    // rather than holding the send.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    struct stat st {};
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
    } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = QStringLiteral("non è un file regolare");
        ::close(fd);
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        m_stream = ::fdopen(fd, "a");
        if (!m_stream) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
        }
    }
}

SmtpTranscript::~SmtpTranscript() {
    if (m_owned && m_stream)
        std::fclose(m_stream);
}

void SmtpTranscript::bytes(Speaker who, const QByteArray& data, const QStringList& hidden) {
    if (!m_stream)
        return;
    QByteArray& pending = m_pending[who == Speaker::Server ? 0 : 1];
    pending += data;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = pending.indexOf('\n', start);
        if (end < 0)
            break;
        writeLine(who, pending.mid(start, end - start), hidden);
        start = end + 1;
    }
    while (pending.size() - start > kLongestLine) {
        writeLine(who, pending.mid(start, kLongestLine), hidden);
        start += kLongestLine;
    }
    // What passed through may have held a login token: the copies are wiped, not just let go.
    QByteArray rest = pending.mid(start);
    wipeSecret(pending);
    pending = std::move(rest);
}

void SmtpTranscript::flush(const QStringList& hidden) {
    for (int i = 0; i < 2; ++i) {
        if (!m_pending[i].isEmpty())
            writeLine(i == 0 ? Speaker::Server : Speaker::Client, m_pending[i], hidden);
        wipeSecret(m_pending[i]);
    }
}

void SmtpTranscript::note(const QString& text) {
    if (m_stream)
        writeText("* ", text.toUtf8());
}

void SmtpTranscript::writeLine(Speaker who, QByteArray line, const QStringList& hidden) {
    if (line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromUtf8(line);
    for (const QString& secret : hidden)
        if (!secret.isEmpty())
            text.replace(secret, QLatin1String("****"));
    // Control characters a server sends would move the reader's terminal.
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    writeText(who == Speaker::Server ? "S: " : "C: ", text.toUtf8());
    wipeSecret(line);
    wipeSecret(text);
}

void SmtpTranscript::writeText(const QByteArray& prefix, const QByteArray& text) {
    QByteArray out;
    if (m_stamped)
        out = QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ';
    out += prefix + text + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), m_stream);
    std::fflush(m_stream);
}

} // namespace tarv
