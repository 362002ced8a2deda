#pragma once

#include <QString>
#include <QtGlobal>

class QObject;

namespace tarv {

class MessageBoxes;
class FileDialogs;

// What the process can show. A component library runs inside whatever program created its
// objects: windows, boxes and dialogs can only appear when that program runs a QApplication
// and the call comes on its GUI thread. The widget part of a program or library provides the
// Qt answer (QtWindowHost); without one, nothing can be shown.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // True when a window may be shown from the calling thread.
    virtual bool canShowWindows() const = 0;
    // True when what is shown reaches someone who can answer it. A window of a platform no
    // one looks at (Qt's offscreen and minimal) exists and works, but a box on it would wait
    // for ever: boxes and dialogs then take their safest answer instead.
    virtual bool isSeen() const { return canShowWindows(); }
    // The host's active window (a modal one first), owner of what the library opens; null
    // when the host has none or no window can be shown.
    virtual QObject* activeWindow() const = 0;
    // The window whose handle (its winId()) is given; null for 0 or an unknown handle.
    virtual QObject* findWindow(qint64 handle) const = 0;
    // Stops the drawing of a window until 0 unlocks it; one window at a time, so a second
    // window stays unlocked while the first is. An unknown handle does nothing.
    virtual void lockWindowUpdate(qint64 handle) = 0;
    virtual MessageBoxes& messageBoxes() = 0;
    virtual FileDialogs& fileDialogs() = 0;
};

// The check every member that needs a window makes first, on the process-wide window host.
bool canShowWindows();
// The window of the handle when there is one, else the host's active window; null when none
// (or when no window can be shown).
QObject* ownerWindow(qint64 handle = 0);
// The description of the failure of a member that needs a window where none can be shown.
QString noWindowDescription();

} // namespace tarv
