#include "QtWindowHost.h"

#include "GuiPlatform.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

namespace tarv {

bool QtWindowHost::canShowWindows() const {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

bool QtWindowHost::isSeen() const {
    return canShowWindows() && !GuiPlatform::isUnseen(QGuiApplication::platformName());
}

QObject* QtWindowHost::activeWindow() const {
    if (!canShowWindows())
        return nullptr;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    // Between two windows of ours the host may have no active window for a moment: its one
    // visible main window is then the owner.
    QWidget* only = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowType() != Qt::Window)
            continue;
        if (only)
            return nullptr;
        only = w;
    }
    return only;
}

QObject* QtWindowHost::findWindow(qint64 handle) const {
    if (handle == 0 || !canShowWindows())
        return nullptr;
    return QWidget::find(WId(handle));
}

void QtWindowHost::lockWindowUpdate(qint64 handle) {
    if (!canShowWindows())
        return;
    QWidget* target = qobject_cast<QWidget*>(findWindow(handle));
    if (handle != 0 && !target)
        return; // an unknown window: nothing to lock
    if (target && m_locked && m_locked != target)
        return; // the platform locks one window at a time
    if (m_locked)
        m_locked->setUpdatesEnabled(true);
    m_locked = target;
    if (m_locked)
        m_locked->setUpdatesEnabled(false);
}

} // namespace tarv
