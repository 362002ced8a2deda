#include "EventPump.h"

#include <QCoreApplication>

#include <chrono>

namespace tarv {

namespace {
qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

void QtEventPump::pump() {
    const qint64 now = nowMs();
    if (m_last >= 0 && now - m_last < 2)
        return;
    m_last = now;
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

qint64 SteadyClock::milliseconds() { return nowMs(); }

} // namespace tarv
