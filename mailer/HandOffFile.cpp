#include "HandOffFile.h"

#include "HandOffClaim.h"
#include "HandOffText.h"
#include "Paths.h"
#include "ProfileFile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace tarv {

HandOffFile::HandOffFile(QString path) : m_path(std::move(path)) {}

HandOffFile HandOffFile::besideExecutable() {
    // Installed for every user of the machine (the packages' /usr/bin), the mailer reads the
    // hand-off of the user who runs it, in that user's system directory, where Invia_File
    // writes it. A per-user install lives in the system directory itself.
    const QString dir = Paths::executableDirectory();
    return HandOffFile(
        (dir == Paths::installedProgramsDirectory() ? Paths::systemDirectory() : dir) +
        QStringLiteral("/Default.ini"));
}

bool HandOffFile::exists() const {
    return Paths::attributesReadable(m_path);
}

QString HandOffFile::Leggi_Ini(const QString& section, const QString& key) const {
    const QString value = ProfileFile::readString(section, key, QString(), m_path);
    if (key.compare(QLatin1String("Testo"), Qt::CaseInsensitive) != 0)
        return value;
    return HandOffText::decode(
        value, ProfileFile::readString(section, HandOffText::wholeKey(), QString(), m_path));
}

QString HandOffFile::distrustReason() const {
    struct stat file {};
    if (::stat(QFile::encodeName(m_path).constData(), &file) != 0)
        return QString();
    if (file.st_uid != ::geteuid())
        return QStringLiteral("il file appartiene a un altro utente");
    if (file.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("il file può essere modificato da altri utenti");
    struct stat dir {};
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (::stat(folder.constData(), &dir) == 0 && (dir.st_mode & (S_IWGRP | S_IWOTH)) &&
        !(dir.st_mode & S_ISVTX))
        return QStringLiteral("si trova in una cartella in cui altri utenti possono scrivere");
    return QString();
}

bool HandOffFile::usable(QString* refused) const {
    if (!exists())
        return false;
    *refused = distrustReason();
    return refused->isEmpty();
}

bool HandOffFile::remove() const {
    return QFile::remove(m_path);
}

void HandOffFile::useUp(HandOffClaim& claim, const QString& handOffPath) {
    if (claim.isTaken()) {
        claim.consume();
        return;
    }
    const HandOffFile inPlace(handOffPath);
    if (inPlace.exists())
        inPlace.remove();
}

} // namespace tarv
