#include "TestDisplay.h"

#include <QStandardPaths>

namespace tarv {

TestDisplay::TestDisplay() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        m_why = QStringLiteral("needs Xvfb (package xvfb)");
        return;
    }
    m_server.start(QStringLiteral("Xvfb"),
                   {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    if (!m_server.waitForReadyRead(20000)) {
        m_why = QStringLiteral("Xvfb did not start: ") +
                QString::fromLocal8Bit(m_server.readAllStandardError());
        return;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(m_server.readLine().trimmed());
}

TestDisplay::~TestDisplay() {
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

} // namespace tarv

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace tarv {

SharedCopies::SharedCopies() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tarv-shared-XXXXXX"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                          QFile::ExeGroup);
    m_dir = dir.path();
}

QString SharedCopies::of(const QString& path) {
    const QString copy = m_dir + QLatin1Char('/') + QFileInfo(path).fileName();
    if (!QFile::exists(copy) && !QFile::copy(path, copy))
        return QString();
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                    QFile::ExeGroup);
    return copy;
}

} // namespace tarv
