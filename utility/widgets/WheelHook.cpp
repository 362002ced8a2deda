#include "WheelHook.h"

#include "Module.h"

#include <QApplication>
#include <QWheelEvent>

namespace tarv::utility {

WheelHook& WheelHook::current() {
    return com::moduleState<WheelHook>();
}

QString WheelHook::hook(qint64 hwnd, std::function<bool()> onWheel) {
    QWidget* window = hwnd ? QWidget::find(WId(hwnd)) : nullptr;
    if (!window || window->thread() != thread())
        return QStringLiteral("Nessuna finestra di questo programma ha l'handle %1").arg(hwnd);
    m_window = window;
    m_onWheel = std::move(onWheel);
    if (!m_installed) {
        // One filter, installed once: a second hook never stands in front of itself.
        qApp->installEventFilter(this);
        m_installed = true;
    }
    return QString();
}

void WheelHook::unhook(qint64 hwnd) {
    if (!m_window || qint64(m_window->winId()) != hwnd)
        return;
    m_window = nullptr;
    m_onWheel = nullptr;
    if (m_installed) {
        qApp->removeEventFilter(this);
        m_installed = false;
    }
}

bool WheelHook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !m_window || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != m_window && !m_window->isAncestorOf(widget))
        return false;
    // One turn of the wheel may reach several widgets: the application hands it to the
    // parent of a widget that did not take it, a scroll area passes it to its scroll bar. The
    // copies carry the turn's time, place and amount; the handler hears of the turn once.
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (m_seenAny && wheel->timestamp() == m_lastTimestamp &&
        wheel->globalPosition() == m_lastPosition && wheel->angleDelta() == m_lastAngle)
        return m_lastStopped;
    m_seenAny = true;
    m_lastTimestamp = wheel->timestamp();
    m_lastPosition = wheel->globalPosition();
    m_lastAngle = wheel->angleDelta();
    // The handler may destroy the widget the event was meant for (a host that deletes its window
    // from the event): the event then ends here, for Qt would hand it to the dead receiver.
    const QPointer<QObject> receiver(watched);
    const std::function<bool()> onWheel = m_onWheel;
    const bool stop = onWheel && onWheel();
    m_lastStopped = stop || !receiver;
    return m_lastStopped;
}

} // namespace tarv::utility
