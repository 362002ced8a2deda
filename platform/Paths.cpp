#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace tarv {

QString Paths::windowsDirectory() {
    QString dir = qEnvironmentVariable("TARV_WINDIR");
    if (dir.isEmpty()) {
        QString data = qEnvironmentVariable("XDG_DATA_HOME");
        if (data.isEmpty())
            data = QDir::homePath() + QStringLiteral("/.local/share");
        dir = data + QStringLiteral("/tarv");
    }
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    QDir().mkpath(dir);
    return dir;
}

QString Paths::systemDirectory() {
    const QString dir = windowsDirectory() + QStringLiteral("/system");
    QDir().mkpath(dir);
    return dir;
}

QString Paths::machineDirectory() {
    if (qEnvironmentVariableIsSet("TARV_MACHINE_DIR"))
        return qEnvironmentVariable("TARV_MACHINE_DIR");
    return QStringLiteral(TARV_MACHINE_DIR_DEFAULT);
}

RegistryStore::MachineStore Paths::machineStore() {
    const QString choice = qEnvironmentVariable("TARV_MACHINE_STORE");
    if (choice == QLatin1String("user"))
        return RegistryStore::MachineStore::User;
    if (choice == QLatin1String("system"))
        return RegistryStore::MachineStore::System;
    return RegistryStore::MachineStore::Automatic;
}

QString Paths::installedProgramsDirectory() {
    return QStringLiteral(TARV_INSTALL_BINDIR);
}

QString Paths::executableDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

bool Paths::attributesReadable(const QString& path) {
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool Paths::isDirectory(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

QString Paths::inWindowsDirectory(const QString& fileName) {
    if (fileName.contains(QLatin1Char('/')))
        return fileName;
    return windowsDirectory() + QLatin1Char('/') + fileName;
}

} // namespace tarv
