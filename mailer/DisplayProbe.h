#pragma once

namespace tarv {

// Whether a Qt GUI application can start in this environment, asked before one is made (Qt
// aborts the process when its platform cannot connect). True when QT_QPA_PLATFORM names a
// platform that needs no display server (offscreen, minimal, vnc, ...), when WAYLAND_DISPLAY
// names a compositor socket that takes a connection, or when DISPLAY names an X server that
// libxcb can connect to (with its authorisation). A DISPLAY naming a server that is gone, or
// none set at all, gives false.
//
// The X connection the answer came from stays open until release() (or the probe's end): an
// X server whose last client leaves resets, refusing the connections that arrive meanwhile,
// or ends (-terminate), so on a server where this program is the only client, a probe that
// left at once would take away the display that the application connects to next.
class DisplayProbe {
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    bool available() const { return m_available; }
    // Closes the held connection; call once the application has its own.
    void release();

private:
    bool xAvailable();

    bool m_available = false;
    void* m_connection = nullptr;
    void (*m_disconnect)(void*) = nullptr;
};

} // namespace tarv
