#pragma once

#include <QProcess>
#include <QString>

namespace tarv {

// An X server of the test's own (Xvfb): a display that someone could see, as opposed to Qt's
// offscreen platform. It picks a free display number and tells which.
class TestDisplay {
public:
    TestDisplay();
    ~TestDisplay();
    // ":N", or empty when no X server could be started (why() says why).
    QString name() const { return m_name; }
    QString why() const { return m_why; }

private:
    QProcess m_server;
    QString m_name;
    QString m_why;
};

} // namespace tarv

namespace tarv {

// Copies of the build's programs and libraries in a folder every user can read and run, for
// tests that run them as another user: a build folder in a private home (a clone under /root)
// cannot be reached by that user.
class SharedCopies {
public:
    SharedCopies();
    // The copy of the file (made at the first request), or empty when it cannot be made.
    QString of(const QString& path);

private:
    QString m_dir;
};

} // namespace tarv
