#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace tarv {

TestWindowsDir::TestWindowsDir()
    : m_savedWindir(qgetenv("TARV_WINDIR")), m_hadWindir(qEnvironmentVariableIsSet("TARV_WINDIR")),
      registry(m_dir.path()) {
    qputenv("TARV_WINDIR", QFile::encodeName(m_dir.path()));
    m_scope = std::make_unique<ScopedServices>(services());
}

TestWindowsDir::~TestWindowsDir() {
    m_scope.reset();
    if (m_hadWindir)
        qputenv("TARV_WINDIR", m_savedWindir);
    else
        qunsetenv("TARV_WINDIR");
}

QString TestWindowsDir::write(const QString& name, const QByteArray& content) const {
    const QString full = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return full;
}

QByteArray TestWindowsDir::read(const QString& fullPath) {
    QFile f(fullPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int openWhenRead(const QString& fifo) {
    for (int i = 0; i < 2000; ++i) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

} // namespace tarv
