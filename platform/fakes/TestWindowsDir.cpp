#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

} // namespace tarv
