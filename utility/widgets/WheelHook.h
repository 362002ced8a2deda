#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace tarv::utility {

// The mouse-wheel hook of a thread: an event filter chained in front of one window and every
// widget inside it. Wheel events aimed there run the handler, which decides whether the event
// goes on; every other event passes untouched.
class WheelHook : public QObject {
    Q_OBJECT
public:
    // The hook of the calling thread.
    static WheelHook& current();

    // "" when hooked; otherwise why not. Hooking another window releases the one before;
    // hooking the same window again only takes the new handler.
    QString hook(qint64 hwnd, std::function<bool()> onWheel);
    void unhook(qint64 hwnd);
    QWidget* hookedWindow() const { return m_window.data(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    std::function<bool()> m_onWheel;
    bool m_installed = false;
    // The last turn seen and what the handler decided for it.
    bool m_seenAny = false;
    bool m_lastStopped = false;
    quint64 m_lastTimestamp = 0;
    QPointF m_lastPosition;
    QPoint m_lastAngle;
};

} // namespace tarv::utility
