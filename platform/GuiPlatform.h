#pragma once

#include <QString>

namespace tarv {

// The graphical platform a QApplication of this process would open, found before one is made:
// Qt ends the whole process when the display it is pointed at cannot be opened (a display
// that is gone, a session without one), and a program that can do without windows must know
// before that.
struct GuiPlatform {
    // The Qt platform plugin that would be used ("xcb", "wayland", "offscreen", ...); empty
    // when none can be opened.
    QString name;
    // Why none can be opened, in Italian, when the environment names a display (DISPLAY,
    // WAYLAND_DISPLAY or QT_QPA_PLATFORM) that cannot be reached; empty when it names none.
    QString problem;

    bool available() const { return !name.isEmpty(); }
    // A platform no one looks at (Qt's offscreen and minimal): its windows exist, but no one
    // can answer them.
    static bool isUnseen(const QString& platformName);

    // Follows Qt's own choice: QT_QPA_PLATFORM (a ";" list, tried in order) when set, else
    // Wayland when the session says so and X11 when DISPLAY is set. An X display is opened
    // and closed again to see that it answers (and lets us in); a Wayland socket likewise.
    static GuiPlatform find();
};

} // namespace tarv
