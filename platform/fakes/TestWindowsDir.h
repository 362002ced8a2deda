#pragma once

#include "Fakes.h"
#include "RegistryStore.h"
#include "Services.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{";
    for (const QString& s : l)
        *os << " \"" << s.toStdString() << '"';
    *os << " }";
}
inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << '"' << b.toStdString() << '"'; }
QT_END_NAMESPACE

namespace tarv {

// A fresh Windows directory for one test: $TARV_WINDIR points at a temporary folder, a
// registry store lives in it, and the process-wide services are fakes until the test ends.
class TestWindowsDir {
    // Declared first: the registry below is built inside this directory.
    QTemporaryDir m_dir;
    QByteArray m_savedWindir;
    bool m_hadWindir;

public:
    TestWindowsDir();
    ~TestWindowsDir();

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes a file below the directory (folders created) and returns its full path.
    QString write(const QString& name, const QByteArray& content) const;
    static QByteArray read(const QString& fullPath);

    RegistryStore registry;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeClock clock;
    FakeEventPump pump;
    FakeProcessStarter processes;
    Services services() { return {&registry, &boxes, &dialogs, &pump, &clock, &processes}; }

private:
    std::unique_ptr<ScopedServices> m_scope;
};

// Opens a pipe for writing once its reader has opened it (a writer that opened it first would
// block for ever when the reader never comes); -1 when none comes within 20 s.
int openWhenRead(const QString& fifo);

// A test fixture holding a TestWindowsDir.
class WindowsDirTest : public ::testing::Test {
protected:
    TestWindowsDir win;
};

} // namespace tarv
