#include "PhoneBook.h"

#include "Paths.h"
#include "ProfileFile.h"
#include "Services.h"

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
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        return name;
    }
    return QString();
}
} // namespace

QString PhoneBook::path() { return Paths::inWindowsDirectory(QStringLiteral("rasphone.pbk")); }

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

PhoneBook::DialResult PhoneBook::startDialer(const QString& commandLine) {
    const QString dialer = qEnvironmentVariable("TARV_DIALER");
    if (dialer.isEmpty())
        return DialResult::NoDialer;
    const QString entry = entryOf(commandLine);
    if (entry.isNull())
        return DialResult::StartFailed;
    return Services::current().processes->startDetached(dialer, {entry}) ? DialResult::Started
                                                                        : DialResult::StartFailed;
}

QString PhoneBook::dialFailureText(DialResult result) {
    if (result == DialResult::NoDialer)
        return QStringLiteral("Nessun programma di connessione configurato: indicare nella "
                              "variabile d'ambiente TARV_DIALER il programma che avvia le "
                              "connessioni di Accesso Remoto.");
    return QStringLiteral("Impossibile avviare il programma di connessione %1.")
        .arg(qEnvironmentVariable("TARV_DIALER"));
}

} // namespace tarv
