#pragma once

#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
#include "WindowHost.h"

#include <QPointer>

class QWidget;

namespace tarv {

// The window host of a Qt widgets process: windows can be shown when the process runs a
// QApplication and the call comes on its GUI thread; a window handle is a widget's winId().
class QtWindowHost : public WindowHost {
public:
    bool canShowWindows() const override;
    // Not on Qt's offscreen and minimal platforms.
    bool isSeen() const override;
    QObject* activeWindow() const override;
    QObject* findWindow(qint64 handle) const override;
    void lockWindowUpdate(qint64 handle) override;
    MessageBoxes& messageBoxes() override { return m_boxes; }
    FileDialogs& fileDialogs() override { return m_dialogs; }

private:
    QtMessageBoxes m_boxes;
    QtFileDialogs m_dialogs;
    QPointer<QWidget> m_locked;
};

} // namespace tarv
