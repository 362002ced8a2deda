#include "PrintService.h"

#include "Services.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace tarv {

QString PrintService::defaultQueue() {
    QProcess lpstat;
    // lpstat's sentences are translated; the untranslated one is parsed.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    lpstat.setProcessEnvironment(env);
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-d")});
    if (!lpstat.waitForFinished(10000) || lpstat.exitStatus() != QProcess::NormalExit) {
        lpstat.kill();
        return QString();
    }
    // "system default destination: NAME" or "no system default destination"
    const QString out = QString::fromLocal8Bit(lpstat.readAllStandardOutput()).trimmed();
    const QString prefix = QStringLiteral("system default destination:");
    if (!out.startsWith(prefix))
        return QString();
    return out.mid(prefix.size()).trimmed();
}

bool PrintService::print(const QString& file, const QString& queue,
                         const QString& workingDirectory) {
    QStringList args;
    if (!queue.isEmpty())
        args << QStringLiteral("-d") << queue;
    // An absolute name never reads as an option.
    args << QFileInfo(file).absoluteFilePath();
    return Services::current().processes->startDetached(QStringLiteral("lp"), args,
                                                        workingDirectory);
}

} // namespace tarv
