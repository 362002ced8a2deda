#include "CommandRecorders.h"

#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace tarv {

namespace {
const char* const kCommands[] = {"systemctl", "loginctl", "shutdown", "reboot", "poweroff",
                                 "halt",      "lp",       "lpr",      "lpstat", "xdg-open"};

const char kRecorder[] = R"sh(#!/bin/sh
# A recorder: writes down how it was called and does nothing else.
log="${TARV_WINDIR:?}/commands.log"
line=$(basename "$0")
for a in "$@"; do line="$line $a"; done
printf '%s\n' "$line" >> "$log"
out="$TARV_WINDIR/fake-output/$(basename "$0")"
[ -f "$out" ] && cat "$out"
exit 0
)sh";
} // namespace

bool installCommandRecorders(QString* error) {
    static QTemporaryDir dir;
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot make a folder for the command recorders");
        return false;
    }
    for (const char* name : kCommands) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(kRecorder) < 0) {
            *error = QStringLiteral("cannot write the recorder %1").arg(f.fileName());
            return false;
        }
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
    for (const char* name : kCommands) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (QFileInfo(found).absolutePath() != QFileInfo(dir.path()).absoluteFilePath()) {
            *error = QStringLiteral("%1 would run %2, not its recorder").arg(name, found);
            return false;
        }
    }
    return true;
}

QStringList recordedCommands() {
    QFile f(Paths::windowsDirectory() + QStringLiteral("/commands.log"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace tarv
