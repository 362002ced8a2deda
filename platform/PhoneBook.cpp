#include "PhoneBook.h"

#include "Paths.h"
#include "ProfileFile.h"
#include "Services.h"

#include <QFile>
#include <QSaveFile>

#include <ifaddrs.h>
#include <net/if.h>

namespace tarv {

namespace {
const QString k9xPrefix = QStringLiteral("rundll32.exe rnaui.dll,RnaDial ");
const QString kNtPrefix = QStringLiteral("Rasphone -d ");

// The entry name a dialler command line carries, or a null string for other commands.
QString entryOf(const QString& commandLine) {
    if (commandLine.startsWith(k9xPrefix))
        return commandLine.mid(k9xPrefix.size());
    if (commandLine.startsWith(kNtPrefix)) {
        QString name = commandLine.mid(kNtPrefix.size());
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) &&
            name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        return name;
    }
    return QString();
}
} // namespace

QString PhoneBook::path() {
    return Paths::inWindowsDirectory(QStringLiteral("rasphone.pbk"));
}

QStringList PhoneBook::entries() {
    QStringList names = ProfileFile::sectionNames(path());
    names.removeAll(QString());
    if (names.size() > kMaxEntries)
        names = names.mid(0, kMaxEntries);
    return names;
}

QString PhoneBook::dialCommand(const QString& entry, int platformId) {
    if (platformId == 1)
        return k9xPrefix + entry;
    return kNtPrefix + QLatin1Char('"') + entry + QLatin1Char('"');
}

PhoneBook::DialResult PhoneBook::startDialer(const QString& commandLine, bool confirm) {
    const QString dialer = qEnvironmentVariable("TARV_DIALER");
    if (dialer.isEmpty())
        return DialResult::NoDialer;
    const QString entry = entryOf(commandLine);
    if (entry.isNull())
        return DialResult::StartFailed;
    ProcessStarter* starter = Services::current().processes;
    const bool started = confirm ? starter->startDetachedWithInput(dialer, {entry}, "\n")
                                 : starter->startDetached(dialer, {entry});
    return started ? DialResult::Started : DialResult::StartFailed;
}

QString PhoneBook::dialFailureText(DialResult result) {
    if (result == DialResult::NoDialer)
        return QStringLiteral("Nessun programma di connessione configurato: indicare nella "
                              "variabile d'ambiente TARV_DIALER il programma che avvia le "
                              "connessioni di Accesso Remoto.");
    return QStringLiteral("Impossibile avviare il programma di connessione %1.")
        .arg(qEnvironmentVariable("TARV_DIALER"));
}

namespace {

using Line = ProfileFile::Line;

// The phone book as the profile-file reader sees it, for the edits: every change is worked
// out on the reader's own lines, so an edit touches exactly the entry that the listing shows.
struct PbkText {
    QByteArray text;
    std::vector<Line> lines;
    QString unreadable; // why the book could not be read, when it is there

    static PbkText read() {
        PbkText t;
        QFile f(PhoneBook::path());
        if (ProfileFile::notARegularFile(f.fileName()))
            t.unreadable = QStringLiteral("non è un file");
        else if (f.open(QIODevice::ReadOnly))
            t.text = f.readAll();
        else if (f.exists())
            t.unreadable = QStringLiteral("non si può leggere (%1)").arg(f.errorString());
        t.lines = ProfileFile::lines(t.text);
        return t;
    }
    // Why an edit could go wrong on this text, or "". A section line without its ']' and
    // line ends of a lone CR are read by this suite, but other programs read them otherwise:
    // such a book is left for the user to mend, never rewritten.
    QString unsafe() const {
        if (!unreadable.isEmpty())
            return unreadable;
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].isSection && !lines[i].closed)
                return QStringLiteral("la riga %1 apre una sezione senza chiuderla con ']'")
                    .arg(i + 1);
        for (qsizetype i = text.indexOf('\r'); i >= 0; i = text.indexOf('\r', i + 1))
            if (i + 1 >= text.size() || text[i + 1] != '\n')
                return QStringLiteral("le righe finiscono con il solo ritorno carrello (CR)");
        return QString();
    }
    // The header line of the entry, or -1.
    long find(const QString& name) const {
        const QByteArray wanted = name.toUtf8();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].isSection && ProfileFile::sameName(lines[i].name, wanted))
                return long(i);
        return -1;
    }
    // The lines that belong to the entry whose header is at `header`: the comment lines right
    // above its header, and everything below it up to the comments of the next entry.
    std::pair<qsizetype, qsizetype> entryBytes(long header) const {
        size_t first = size_t(header);
        while (first > 0 && isComment(lines[first - 1]))
            --first;
        size_t next = size_t(header) + 1;
        while (next < lines.size() && !lines[next].isSection)
            ++next;
        size_t last = next;
        if (next < lines.size())
            while (last > size_t(header) + 1 && isComment(lines[last - 1]))
                --last;
        const qsizetype to = last < lines.size() ? lines[last].start : text.size();
        return {lines[first].start, to};
    }
    bool isComment(const Line& l) const {
        const QByteArray content = text.mid(l.start, l.end - l.start).trimmed();
        return !l.isSection && (content.startsWith(';') || content.startsWith('#'));
    }
    QByteArray newline() const {
        for (const Line& l : lines)
            if (l.next > l.end)
                return text.mid(l.end, l.next - l.end);
        return "\r\n";
    }
    QString write(const QByteArray& after) const {
        QSaveFile f(PhoneBook::path());
        if (f.open(QIODevice::WriteOnly)) {
            f.write(after);
            if (f.commit())
                return QString();
        }
        return QStringLiteral("Impossibile scrivere la rubrica telefonica %1: %2")
            .arg(PhoneBook::path(), f.errorString());
    }
};

QString notFound(const QString& name) {
    return QStringLiteral("La connessione '%1' non esiste più nella rubrica telefonica.").arg(name);
}

QString refused(const QString& why) {
    return QStringLiteral("La rubrica telefonica %1 non può essere modificata senza rischio di "
                          "perdere dati: %2. Correggere il file con un editor di testo e "
                          "riprovare.")
        .arg(PhoneBook::path(), why);
}

QString checkNumber(const QString& number) {
    if (number.contains(QLatin1Char('\n')) || number.contains(QLatin1Char('\r')))
        return QStringLiteral("Il numero di telefono non può contenere un ritorno a capo.");
    return QString();
}

// The book read for an edit, or why it cannot be edited.
QString readForEdit(PbkText* t) {
    *t = PbkText::read();
    const QString why = t->unsafe();
    return why.isEmpty() ? QString() : refused(why);
}

} // namespace

QString PhoneBook::checkName(const QString& rawName, const QString& renaming) {
    const QString name = rawName.trimmed();
    if (name.isEmpty())
        return QStringLiteral("Il nome della connessione non può essere vuoto.");
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        return QStringLiteral("Il nome della connessione non può contenere un ritorno a capo.");
    if (name.contains(QLatin1Char('[')) || name.contains(QLatin1Char(']')))
        return QStringLiteral("Il nome della connessione non può contenere le parentesi "
                              "quadre [ ].");
    if (name.toUtf8().size() > 256)
        return QStringLiteral("Il nome della connessione è troppo lungo (al massimo 256 byte).");
    const bool sameEntry = !renaming.isNull() && renaming.compare(name, Qt::CaseInsensitive) == 0;
    if (!sameEntry && PbkText::read().find(name) >= 0)
        return QStringLiteral("Esiste già una connessione di nome '%1'.").arg(name);
    return QString();
}

QString PhoneBook::createEntry(const QString& rawName, const QString& number) {
    const QString name = rawName.trimmed();
    if (QString problem = checkName(name); !problem.isEmpty())
        return problem;
    if (QString problem = checkNumber(number); !problem.isEmpty())
        return problem;
    PbkText t;
    if (QString problem = readForEdit(&t); !problem.isEmpty())
        return problem;
    if (entries().size() >= kMaxEntries)
        return QStringLiteral("La rubrica telefonica contiene già %1 connessioni, il massimo.")
            .arg(kMaxEntries);
    const QByteArray eol = t.newline();
    QByteArray after = t.text;
    if (!t.lines.empty()) {
        const Line& last = t.lines.back();
        if (last.next == last.end)
            after += eol;
        if (last.end > last.start &&
            !t.text.mid(last.start, last.end - last.start).trimmed().isEmpty())
            after += eol; // a blank line between entries
    }
    after += '[' + name.toUtf8() + ']' + eol + "PhoneNumber=" + number.toUtf8() + eol;
    return t.write(after);
}

QString PhoneBook::renameEntry(const QString& oldName, const QString& rawName) {
    const QString name = rawName.trimmed();
    if (QString problem = checkName(name, oldName); !problem.isEmpty())
        return problem;
    PbkText t;
    if (QString problem = readForEdit(&t); !problem.isEmpty())
        return problem;
    const long header = t.find(oldName);
    if (header < 0)
        return notFound(oldName);
    // Only the name between the brackets changes; what follows the bracket stays.
    const Line& line = t.lines[size_t(header)];
    const qsizetype open = t.text.indexOf('[', line.start);
    const qsizetype close = t.text.indexOf(']', open);
    return t.write(QByteArray(t.text).replace(open + 1, close - open - 1, name.toUtf8()));
}

QString PhoneBook::setPhoneNumber(const QString& name, const QString& number) {
    if (QString problem = checkNumber(number); !problem.isEmpty())
        return problem;
    PbkText t;
    if (QString problem = readForEdit(&t); !problem.isEmpty())
        return problem;
    const long header = t.find(name);
    if (header < 0)
        return notFound(name);
    // The entry the reader finds first under that name, so edited() reaches this one.
    return t.write(ProfileFile::edited(t.text, t.lines[size_t(header)].name,
                                       QByteArray("PhoneNumber"), number.toUtf8()));
}

QString PhoneBook::deleteEntry(const QString& name) {
    PbkText t;
    if (QString problem = readForEdit(&t); !problem.isEmpty())
        return problem;
    const long header = t.find(name);
    if (header < 0)
        return notFound(name);
    const auto [from, to] = t.entryBytes(header);
    return t.write(QByteArray(t.text).remove(from, to - from));
}

QString PhoneBook::phoneNumber(const QString& name) {
    return ProfileFile::readString(name, QStringLiteral("PhoneNumber"), QString(), path());
}

bool PhoneBook::connectionActive() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (ifaddrs* i = list; i && !up; i = i->ifa_next)
        up = i->ifa_name && qstrncmp(i->ifa_name, "ppp", 3) == 0 && (i->ifa_flags & IFF_UP);
    freeifaddrs(list);
    return up;
}

} // namespace tarv
