#pragma once

namespace tarv {

// Whether a Qt GUI application can start in this environment, asked before one is made (Qt
// aborts the process when its platform cannot connect). True when QT_QPA_PLATFORM names a
// platform that needs no display server (offscreen, minimal, vnc, ...), when WAYLAND_DISPLAY
// names a compositor socket that takes a connection, or when DISPLAY names an X server that
// libxcb can connect to (with its authorisation). A DISPLAY naming a server that is gone, or
// none set at all, gives false.
bool displayAvailable();

} // namespace tarv
