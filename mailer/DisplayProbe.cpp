#include "DisplayProbe.h"

#include <QByteArray>
#include <QFile>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace tarv {

namespace {

bool waylandAvailable() {
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty())
        return false;
    const QByteArray path = name.startsWith('/') ? name : qgetenv("XDG_RUNTIME_DIR") + '/' + name;
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof address.sun_path) || !path.startsWith('/'))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

// The X server through libxcb, as Qt's xcb platform reaches it, loaded only for the question
// (a build machine without it has no xcb platform either).
bool DisplayProbe::xAvailable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    m_disconnect = reinterpret_cast<void (*)(void*)>(::dlsym(xcb, "xcb_disconnect"));
    if (!connect || !hasError || !m_disconnect)
        return false;
    m_connection = connect(nullptr, nullptr);
    const bool ok = m_connection && hasError(m_connection) == 0;
    if (!ok)
        release();
    // The library stays loaded: Qt's xcb platform loads it next, and unloading it between the
    // two gains nothing.
    return ok;
}

DisplayProbe::DisplayProbe() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(':').first().trimmed();
    if (!platform.isEmpty() && platform != "xcb" && !platform.startsWith("wayland"))
        m_available = true;
    else if (platform.startsWith("wayland"))
        m_available = waylandAvailable();
    else if (platform == "xcb")
        m_available = xAvailable();
    else
        m_available = xAvailable() || waylandAvailable();
}

DisplayProbe::~DisplayProbe() {
    release();
}

void DisplayProbe::release() {
    if (m_connection && m_disconnect)
        m_disconnect(m_connection);
    m_connection = nullptr;
}

} // namespace tarv
