#include "GuiPlatform.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

#include <dlfcn.h>

#include <mutex>

namespace tarv {

namespace {

// Opens the X display as Qt's xcb plugin would (authorisation included), through the same
// library the plugin uses. A display that answers stays open while the process runs: an X
// server resets when its last client leaves (an Xvfb started for a script has no other), and
// the connection Qt opens next, refused during the reset, would end the process.
bool xDisplayAnswers(const QByteArray& display) {
    void* xcb = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) {
        ::dlclose(xcb);
        return false;
    }
    void* c = connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    const bool answers = c && hasError(c) == 0;
    if (!answers) {
        if (c)
            disconnect(c);
        ::dlclose(xcb);
        return false;
    }
    // One connection kept at a time: the one before goes once the new one holds the server.
    static std::mutex keptLock;
    static void* kept = nullptr;
    const std::lock_guard<std::mutex> hold(keptLock);
    if (kept) {
        disconnect(kept);
        ::dlclose(xcb); // the kept connection holds the library already
    }
    kept = c;
    return true;
}

// Qt passes over a Wayland platform whose plugin is not installed.
bool waylandAnswers() {
    const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms"));
    if (plugins.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty())
        return false;
    void* client = ::dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!client)
        return false;
    using Connect = void* (*)(const char*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(client, "wl_display_connect"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(client, "wl_display_disconnect"));
    bool answers = false;
    if (connect && disconnect) {
        if (void* d = connect(nullptr)) {
            answers = true;
            disconnect(d);
        }
    }
    ::dlclose(client);
    return answers;
}

} // namespace

bool GuiPlatform::isUnseen(const QString& platformName) {
    return platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal");
}

GuiPlatform GuiPlatform::find() {
    QStringList candidates;
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) {
        candidates = chosen.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    } else {
        if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
            qgetenv("XDG_SESSION_TYPE") == "wayland")
            candidates << QStringLiteral("wayland");
        if (qEnvironmentVariableIsSet("DISPLAY"))
            candidates << QStringLiteral("xcb");
    }
    QStringList tried;
    for (const QString& candidate : candidates) {
        // "name:arguments"
        const QString name = candidate.section(QLatin1Char(':'), 0, 0);
        if (name == QLatin1String("xcb")) {
            const QByteArray display = qgetenv("DISPLAY");
            if (xDisplayAnswers(display))
                return {name, QString()};
            tried << (display.isEmpty()
                          ? QStringLiteral("nessuno schermo X (DISPLAY non impostata)")
                          : QStringLiteral("lo schermo X \"%1\" non risponde")
                                .arg(QString::fromLocal8Bit(display)));
        } else if (name.startsWith(QLatin1String("wayland"))) {
            if (waylandAnswers())
                return {name, QString()};
            tried << QStringLiteral("lo schermo Wayland \"%1\" non risponde")
                         .arg(qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0")));
        } else {
            return {name, QString()}; // offscreen, minimal, eglfs, vnc...: nothing to reach
        }
    }
    return {QString(), tried.join(QStringLiteral(", "))};
}

} // namespace tarv
