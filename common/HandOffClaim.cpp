#include "HandOffClaim.h"

#include "Paths.h"
#include "ProfileFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarv {

namespace {

const char kTakenInfix[] = ".velinor-";
const char kStaleSuffix[] = ".restituito";
const QString kSection = QStringLiteral("Dati");

QString beside(const QString& handOffPath, const QString& suffix) {
    const QFileInfo info(handOffPath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + suffix;
}

QString stalePath(const QString& handOffPath) {
    return beside(handOffPath, QString::fromLatin1(kStaleSuffix));
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Puts `from` at `to` unless something is there already: the place never loses a newer file.
bool putInPlace(const QString& from, const QString& to) {
    if (::link(encoded(from).constData(), encoded(to).constData()) != 0)
        return false;
    ::unlink(encoded(from).constData());
    return true;
}

} // namespace

bool HandOffClaim::processRunning(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (comm) state ...": a zombie has ended.
    const QByteArray s = stat.readAll();
    const QByteArray state = s.mid(s.lastIndexOf(')') + 2, 1);
    return state != "Z" && state != "X";
}

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "velinor: %s\n", text.toLocal8Bit().constData());
}

} // namespace

HandOffClaim::~HandOffClaim() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString HandOffClaim::lockPath(const QString& handOffPath) {
    return beside(handOffPath, QStringLiteral(".lock"));
}

bool HandOffClaim::take(const QString& handOffPath) {
    recoverAbandoned(handOffPath);
    const QString taken =
        beside(handOffPath, QString::fromLatin1(kTakenInfix) + QString::number(::getpid()));
    // The file is taken in the writers' turn (ProfileFile locks the file itself from its read
    // to its replace), so that no SetVar is halfway through it; the lock stays with the taken
    // file for the run and tells other mailers that this one still holds it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(encoded(handOffPath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int locked = -1;
        for (int wait = 0;
             wait < 500 && (locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EWOULDBLOCK;
             ++wait)
            ::usleep(10000);
        struct stat held {
        }, now{};
        const bool same = ::fstat(fd, &held) == 0 &&
                          ::stat(encoded(handOffPath).constData(), &now) == 0 &&
                          held.st_dev == now.st_dev && held.st_ino == now.st_ino;
        if (locked == 0 && !same) {
            ::close(fd); // a writer replaced it meanwhile: the new one is the file
            continue;
        }
        if (locked != 0 ||
            ::rename(encoded(handOffPath).constData(), encoded(taken).constData()) != 0) {
            ::close(fd);
            return false;
        }
        m_fd = fd;
        break;
    }
    if (m_fd < 0)
        return false;
    m_place = handOffPath;
    m_taken = taken;
    // What the file carried is this run's now.
    forgetStaleKeys(handOffPath);
    return true;
}

void HandOffClaim::consume() {
    if (m_fd < 0)
        return;
    ::unlink(encoded(m_taken).constData());
    ::close(m_fd);
    m_fd = -1;
}

void HandOffClaim::giveBack(int served) {
    if (m_fd < 0)
        return;
    // The file is edited in the writers' turn like any profile file: this run lets go of it
    // first (its name still says whose it is).
    ::close(m_fd);
    m_fd = -1;
    if (served > 0) {
        QStringList recipients =
            ProfileFile::readString(kSection, QStringLiteral("Dest"), QString(), m_taken)
                .split(QLatin1Char(';'));
        recipients = recipients.mid(served);
        const QString rest = recipients.join(QLatin1Char(';'));
        if (ProfileFile::writeString(kSection, QStringLiteral("Dest"), rest, m_taken))
            say(QStringLiteral("%1: i primi %2 destinatari hanno ricevuto il messaggio; in Dest "
                               "restano solo gli altri: %3")
                    .arg(m_place)
                    .arg(served)
                    .arg(rest));
    }
    // Its flags were this run's: a new hand-off written over the file does not inherit them.
    QStringList flags;
    const QStringList keys = ProfileFile::keyNames(kSection, m_taken);
    for (const char* flag : {"Nascosto", "Esci"})
        if (keys.contains(QLatin1String(flag), Qt::CaseInsensitive))
            flags << QString::fromLatin1(flag);
    QFile record(stalePath(m_place));
    if (!flags.isEmpty() && record.open(QIODevice::WriteOnly | QIODevice::Truncate))
        record.write(flags.join(QLatin1Char('\n')).toUtf8() + '\n');
    record.close();
    if (!putInPlace(m_taken, m_place)) {
        // A newer hand-off arrived meanwhile: it keeps the place, and this message is kept
        // beside it under a name of its own.
        QFile::remove(record.fileName());
        const QString kept =
            m_place + QStringLiteral(".non-spedito-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        if (::rename(encoded(m_taken).constData(), encoded(kept).constData()) == 0)
            say(QStringLiteral("messaggio non spedito conservato in %1: nel frattempo è arrivato "
                               "un nuovo %2")
                    .arg(kept, QFileInfo(m_place).fileName()));
    }
}

void HandOffClaim::recoverAbandoned(const QString& handOffPath) {
    const QFileInfo place(handOffPath);
    const QString prefix = QLatin1Char('.') + place.fileName() + QString::fromLatin1(kTakenInfix);
    const QDir folder = place.absoluteDir();
    for (const QString& name :
         folder.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden, QDir::Time)) {
        bool number = false;
        const qint64 pid = name.mid(prefix.size()).toLongLong(&number);
        if (!number || processRunning(pid))
            continue;
        const QString path = folder.filePath(name);
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Still locked: a mailer of another process namespace holds it.
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        if (!held && putInPlace(path, handOffPath))
            say(QStringLiteral("%1 rimesso al suo posto: il programma che lo aveva preso è "
                               "terminato senza spedirlo")
                    .arg(handOffPath));
    }
}

QStringList HandOffClaim::staleKeys(const QString& handOffPath) {
    QFile record(stalePath(handOffPath));
    if (!record.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void HandOffClaim::forgetStaleKeys(const QString& handOffPath) {
    QFile::remove(stalePath(handOffPath));
}

void HandOffClaim::noteHostWrite(const QString& path, const QString& key) {
    const QString full = Paths::inWindowsDirectory(path);
    if (QFileInfo(full).fileName() != QLatin1String("Default.ini"))
        return;
    QStringList keys = staleKeys(full);
    const qsizetype before = keys.size();
    keys.removeIf(
        [&](const QString& k) { return k.compare(key.trimmed(), Qt::CaseInsensitive) == 0; });
    if (keys.size() == before)
        return;
    if (keys.isEmpty()) {
        forgetStaleKeys(full);
        return;
    }
    QFile record(stalePath(full));
    if (record.open(QIODevice::WriteOnly | QIODevice::Truncate))
        record.write(keys.join(QLatin1Char('\n')).toUtf8() + '\n');
}

} // namespace tarv
