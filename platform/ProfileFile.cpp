#include "ProfileFile.h"

#include "Paths.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarv {

namespace {

using Line = ProfileFile::Line;

QByteArray trimmedBlanks(const QByteArray& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

std::vector<Line> parse(const QByteArray& text) {
    return ProfileFile::lines(text);
}

bool isKeyLine(const Line& l) {
    return l.isKey();
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return ProfileFile::sameName(a, b);
}

// Index of the section's header line, -1 for the unnamed part before the first section,
// or -2 when missing.
long findSection(const std::vector<Line>& lines, const QByteArray& section) {
    if (section.isEmpty()) {
        // Keys before any section header form the unnamed section.
        return -1;
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].isSection && sameName(lines[i].name, section))
            return long(i);
    return -2;
}

// Lines [first, last) of a section's body.
std::pair<size_t, size_t> sectionBody(const std::vector<Line>& lines, long header) {
    size_t first = header < 0 ? 0 : size_t(header) + 1;
    size_t last = first;
    while (last < lines.size() && !lines[last].isSection)
        ++last;
    return {first, last};
}

QByteArray unquoted(const QByteArray& v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v[v.size() - 1] == v[0])
        return v.mid(1, v.size() - 2);
    return v;
}

QByteArray lineEndOf(const QByteArray& text) {
    const qsizetype nl = text.indexOf('\n');
    const qsizetype cr = text.indexOf('\r');
    if (cr >= 0 && (nl < 0 || cr < nl))
        return (cr + 1 < text.size() && text[cr + 1] == '\n') ? QByteArray("\r\n")
                                                              : QByteArray("\r");
    if (nl >= 0)
        return QByteArray("\n");
    return QByteArray("\r\n");
}

// Opens for reading without waiting: a FIFO's open would wait for a writer. Only regular
// files are kept open; -1 otherwise (errno ENODEV for something that is not a file).
int openRegular(const QByteArray& path, int extraFlags = 0, mode_t mode = 0) {
    const int fd =
        ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags, mode);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = ENODEV;
        return -1;
    }
    return fd;
}

bool readFd(int fd, QByteArray* out) {
    out->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out->append(buffer, n);
    }
}

QByteArray readAll(const QString& path) {
    const int fd = openRegular(QFile::encodeName(path));
    QByteArray text;
    if (fd >= 0) {
        if (!readFd(fd, &text))
            text.clear();
        ::close(fd);
    }
    return text;
}

// The writers' turn on one profile file: an exclusive lock on the file itself, held from the
// read to the replace. A writer that waited for the lock finds the file replaced by the one
// before it and locks the new file instead. A missing file is created empty to be locked, and
// removed again when nothing is written into it.
class WriterTurn {
public:
    explicit WriterTurn(const QString& path) : m_path(QFile::encodeName(path)) {}
    ~WriterTurn() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // False when the file cannot be read or is not a regular file, or after 30 s of waiting.
    bool take() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int raced = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            m_created = false;
            m_fd = openRegular(m_path);
            if (m_fd < 0 && errno == ENOENT) {
                // Made here, unless another writer makes it first; a link to a missing file
                // (which O_EXCL refuses) has its target made, as the replace writes through it.
                const bool exclusive = raced < 3;
                m_fd = openRegular(m_path, O_CREAT | (exclusive ? O_EXCL : 0), 0666);
                if (m_fd < 0 && errno == EEXIST) {
                    ++raced;
                    continue;
                }
                m_created = m_fd >= 0 && exclusive;
            }
            if (m_fd < 0)
                return false;
            while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR)
                    break; // no locks on this file system (some network ones): write as before
                if (std::chrono::steady_clock::now() >= deadline) {
                    close();
                    return false;
                }
                ::usleep(2000);
            }
            struct stat locked {};
            struct stat now {};
            if (::fstat(m_fd, &locked) == 0 && ::stat(m_path.constData(), &now) == 0 &&
                locked.st_dev == now.st_dev && locked.st_ino == now.st_ino) {
                m_stat = locked;
                return true;
            }
            close(); // replaced or removed while we waited: take the file that is there now
        }
        return false;
    }
    bool read(QByteArray* text) const { return readFd(m_fd, text); }
    // The owner and mode that the replacement takes over.
    void copyOwnerAndMode(int fd) const {
        if (m_stat.st_uid != ::geteuid() || m_stat.st_gid != ::getegid())
            (void)::fchown(fd, m_stat.st_uid, m_stat.st_gid); // only root may give it back
        ::fchmod(fd, m_stat.st_mode & 0777);
    }
    void removeCreated() {
        if (m_created)
            ::unlink(m_path.constData());
    }

private:
    void close() {
        ::close(m_fd);
        m_fd = -1;
    }
    QByteArray m_path;
    int m_fd = -1;
    bool m_created = false;
    struct stat m_stat {};
};

} // namespace

std::vector<Line> ProfileFile::lines(const QByteArray& text) {
    std::vector<Line> lines;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < text.size()) {
        Line line;
        line.start = pos;
        qsizetype e = pos;
        while (e < text.size() && text[e] != '\r' && text[e] != '\n')
            ++e;
        line.end = e;
        if (e < text.size() && text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n')
            line.next = e + 2;
        else
            line.next = e < text.size() ? e + 1 : e;
        const QByteArray content = trimmedBlanks(text.mid(pos, e - pos));
        if (content.startsWith('[')) {
            line.isSection = true;
            const qsizetype close = content.indexOf(']');
            line.closed = close >= 0;
            line.name = trimmedBlanks(content.mid(1, close < 0 ? -1 : close - 1));
        } else if (!content.isEmpty()) {
            const qsizetype eq = content.indexOf('=');
            line.name = trimmedBlanks(eq < 0 ? content : content.left(eq));
            if (eq >= 0) {
                line.value = trimmedBlanks(content.mid(eq + 1));
                line.hasValue = true;
            }
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

bool ProfileFile::sameName(const QByteArray& a, const QByteArray& b) {
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

std::optional<QByteArray> ProfileFile::lookup(const QByteArray& text, const QByteArray& section,
                                              const QByteArray& key) {
    const auto lines = parse(text);
    const long header = findSection(lines, section);
    if (header == -2)
        return std::nullopt;
    const auto [first, last] = sectionBody(lines, header);
    for (size_t i = first; i < last; ++i)
        if (isKeyLine(lines[i]) && sameName(lines[i].name, key))
            return lines[i].hasValue ? unquoted(lines[i].value) : std::optional<QByteArray>();
    return std::nullopt;
}

QByteArray ProfileFile::edited(const QByteArray& text, const QByteArray& section,
                               const std::optional<QByteArray>& key,
                               const std::optional<QByteArray>& value) {
    // An empty name makes a line that reads back as no section or no key: nothing is written.
    if (trimmedBlanks(section).isEmpty() || (key && trimmedBlanks(*key).isEmpty()))
        return text;
    const auto lines = parse(text);
    const QByteArray eol = lineEndOf(text);
    const long header = section.isEmpty() ? -2 : findSection(lines, section);
    QByteArray out = text;

    if (header == -2) {
        if (!key || !value)
            return text; // nothing to delete
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += eol;
        out += '[' + section + ']' + eol + *key + '=' + *value + eol;
        return out;
    }
    const auto [first, last] = sectionBody(lines, header);
    if (!key) {
        const qsizetype from = lines[size_t(header)].start;
        const qsizetype to = last < lines.size() ? lines[last].start : text.size();
        return out.remove(from, to - from);
    }
    for (size_t i = first; i < last; ++i) {
        if (!isKeyLine(lines[i]) || !sameName(lines[i].name, *key))
            continue;
        if (!value)
            return out.remove(lines[i].start, lines[i].next - lines[i].start);
        qsizetype from = lines[i].start; // the indentation stays
        while (text[from] == ' ' || text[from] == '\t')
            ++from;
        return out.replace(from, lines[i].end - from, lines[i].name + '=' + *value);
    }
    if (!value)
        return text;
    // A new key goes after the section's last non-blank line.
    size_t after = size_t(header);
    for (size_t i = first; i < last; ++i)
        if (isKeyLine(lines[i]))
            after = i;
    const Line& anchor = lines[after];
    QByteArray insert = *key + '=' + *value + eol;
    if (anchor.next == anchor.end) // the anchor is the last line and has no line end
        insert.prepend(eol);
    return out.insert(anchor.next, insert);
}

QString ProfileFile::readString(const QString& section, const QString& key,
                                const QString& defaultValue, const QString& fileName,
                                int bufferSize) {
    const auto found =
        lookup(readAll(Paths::inWindowsDirectory(fileName)), section.toUtf8(), key.toUtf8());
    QByteArray value;
    if (found) {
        value = *found;
    } else {
        value = defaultValue.toUtf8();
        while (value.endsWith(' ') || value.endsWith('\t'))
            value.chop(1);
    }
    if (bufferSize >= 0 && value.size() > qsizetype(bufferSize) - 1) {
        qsizetype cut = bufferSize > 0 ? bufferSize - 1 : 0;
        // A character that does not fit is left out whole: cutting its UTF-8 bytes would
        // hand the caller a replacement character instead.
        while (cut > 0 && (uchar(value[cut]) & 0xC0) == 0x80)
            --cut;
        value.truncate(cut);
    }
    return QString::fromUtf8(value);
}

bool ProfileFile::writeString(const QString& section, const std::optional<QString>& key,
                              const std::optional<QString>& value, const QString& fileName) {
    const QString path = Paths::inWindowsDirectory(fileName);
    WriterTurn turn(path);
    QByteArray before;
    if (!turn.take() || !turn.read(&before))
        return false; // never replace what we could not read
    const QByteArray after =
        edited(before, section.toUtf8(), key ? std::optional(key->toUtf8()) : std::nullopt,
               value ? std::optional(value->toUtf8()) : std::nullopt);
    if (after == before) {
        turn.removeCreated();
        return true;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        turn.removeCreated();
        return false;
    }
    turn.copyOwnerAndMode(out.handle());
    out.write(after);
    if (out.commit())
        return true;
    turn.removeCreated();
    return false;
}

bool ProfileFile::notARegularFile(const QString& fileName) {
    struct stat st {};
    return ::stat(QFile::encodeName(Paths::inWindowsDirectory(fileName)).constData(), &st) == 0 &&
           !S_ISREG(st.st_mode);
}

QStringList ProfileFile::sectionNames(const QString& fileName) {
    QStringList names;
    for (const Line& l : parse(readAll(Paths::inWindowsDirectory(fileName))))
        if (l.isSection)
            names << QString::fromUtf8(l.name);
    return names;
}

QStringList ProfileFile::keyNames(const QString& section, const QString& fileName) {
    const auto lines = parse(readAll(Paths::inWindowsDirectory(fileName)));
    QStringList names;
    const long header = findSection(lines, section.toUtf8());
    if (header == -2)
        return names;
    const auto [first, last] = sectionBody(lines, header);
    for (size_t i = first; i < last; ++i)
        if (isKeyLine(lines[i]))
            names << QString::fromUtf8(lines[i].name);
    return names;
}

} // namespace tarv
