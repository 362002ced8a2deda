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
