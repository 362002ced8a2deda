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

// The phone book's lines, each with its own line end, and where each entry begins.
struct PbkText {
    QList<QByteArray> lines;
    QByteArray newline = "\r\n";

    static PbkText read() {
        PbkText t;
        QFile f(PhoneBook::path());
        QByteArray all;
        if (f.open(QIODevice::ReadOnly))
            all = f.readAll();
        if (!all.isEmpty() && !all.contains("\r\n") && all.contains('\n'))
            t.newline = "\n";
        qsizetype start = 0;
        while (start < all.size()) {
            qsizetype end = all.indexOf('\n', start);
            end = end < 0 ? all.size() : end + 1;
            t.lines.push_back(all.mid(start, end - start));
            start = end;
        }
        return t;
    }
    // The entry name of a section line, or a null array for other lines.
    static QByteArray sectionName(const QByteArray& line) {
        const QByteArray trimmed = line.trimmed();
        const qsizetype close = trimmed.indexOf(']');
        if (!trimmed.startsWith('[') || close < 0)
            return QByteArray();
        return trimmed.mid(1, close - 1).trimmed();
    }
    // [first, last) lines of the entry, or first = -1.
    std::pair<int, int> find(const QString& name) const {
        int first = -1;
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray section = sectionName(lines[i]);
            if (section.isNull())
                continue;
            if (first >= 0)
                return {first, i};
            if (QString::fromUtf8(section).compare(name, Qt::CaseInsensitive) == 0)
                first = i;
        }
        return {first, int(lines.size())};
    }
    QString write() const {
        QSaveFile f(PhoneBook::path());
        if (f.open(QIODevice::WriteOnly)) {
            for (const QByteArray& l : lines)
                f.write(l);
            if (f.commit())
                return QString();
        }
        return QStringLiteral("Impossibile scrivere la rubrica telefonica %1: %2")
            .arg(PhoneBook::path(), f.errorString());
    }
    QByteArray lineEnd(const QByteArray& line) const {
        return line.endsWith("\r\n") ? QByteArray("\r\n")
               : line.endsWith('\n') ? QByteArray("\n")
                                     : newline;
    }
};

QString notFound(const QString& name) {
    return QStringLiteral("La connessione '%1' non esiste più nella rubrica telefonica.").arg(name);
}

QString checkNumber(const QString& number) {
    if (number.contains(QLatin1Char('\n')) || number.contains(QLatin1Char('\r')))
        return QStringLiteral("Il numero di telefono non può contenere un ritorno a capo.");
    return QString();
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
    if (!sameEntry && PbkText::read().find(name).first >= 0)
        return QStringLiteral("Esiste già una connessione di nome '%1'.").arg(name);
    return QString();
}

QString PhoneBook::createEntry(const QString& rawName, const QString& number) {
    const QString name = rawName.trimmed();
    if (QString problem = checkName(name); !problem.isEmpty())
        return problem;
    if (QString problem = checkNumber(number); !problem.isEmpty())
        return problem;
    if (entries().size() >= kMaxEntries)
        return QStringLiteral("La rubrica telefonica contiene già %1 connessioni, il massimo.")
            .arg(kMaxEntries);
    PbkText t = PbkText::read();
    if (!t.lines.isEmpty() && !t.lines.back().endsWith('\n'))
        t.lines.back() += t.newline;
    if (!t.lines.isEmpty() && !t.lines.back().trimmed().isEmpty())
        t.lines.push_back(t.newline);
    t.lines.push_back('[' + name.toUtf8() + ']' + t.newline);
    t.lines.push_back("PhoneNumber=" + number.toUtf8() + t.newline);
    return t.write();
}

QString PhoneBook::renameEntry(const QString& oldName, const QString& rawName) {
    const QString name = rawName.trimmed();
    if (QString problem = checkName(name, oldName); !problem.isEmpty())
        return problem;
    PbkText t = PbkText::read();
    const auto [first, last] = t.find(oldName);
    if (first < 0)
        return notFound(oldName);
    // Only the name between the brackets changes; what follows the bracket stays.
    QByteArray& line = t.lines[first];
    const qsizetype open = line.indexOf('[');
    const qsizetype close = line.indexOf(']', open);
    line = line.left(open + 1) + name.toUtf8() + line.mid(close);
    return t.write();
}

QString PhoneBook::setPhoneNumber(const QString& name, const QString& number) {
    if (QString problem = checkNumber(number); !problem.isEmpty())
        return problem;
    PbkText t = PbkText::read();
    const auto [first, last] = t.find(name);
    if (first < 0)
        return notFound(name);
    for (int i = first + 1; i < last; ++i) {
        const QByteArray& line = t.lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed().toLower() == "phonenumber") {
            t.lines[i] = line.left(eq + 1) + number.toUtf8() + t.lineEnd(line);
            return t.write();
        }
    }
    t.lines.insert(first + 1, "PhoneNumber=" + number.toUtf8() + t.lineEnd(t.lines[first]));
    if (!t.lines[first].endsWith('\n'))
        t.lines[first] += t.newline;
    return t.write();
}

QString PhoneBook::deleteEntry(const QString& name) {
    PbkText t = PbkText::read();
    const auto [first, last] = t.find(name);
    if (first < 0)
        return notFound(name);
    t.lines.remove(first, last - first);
    return t.write();
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
