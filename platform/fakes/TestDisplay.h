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
