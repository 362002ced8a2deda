#include "SessionControl.h"

#include "Services.h"
#include "SystemInfo.h"

#include <QStringList>

namespace tarv {

bool SessionControl::exitWindows(int flags) {
    ProcessStarter* processes = Services::current().processes;
    const QString inhibitors = (flags & 4) ? QStringLiteral("--check-inhibitors=no")
                                           : QStringLiteral("--check-inhibitors=yes");
    auto systemctl = [&](const char* verb) {
        return processes->startDetached(QStringLiteral("systemctl"),
                                        {QString::fromLatin1(verb), inhibitors});
    };
    if (flags & 2)
        return systemctl("reboot");
    if (flags & 8)
        return systemctl("poweroff");
    if (flags & 1)
        return systemctl("halt");
    // Log off: the session this process belongs to, or all of the user's sessions when it
    // runs outside one.
    const QString session = qEnvironmentVariable("XDG_SESSION_ID");
    if (!session.isEmpty())
        return processes->startDetached(QStringLiteral("loginctl"),
                                        {QStringLiteral("terminate-session"), session});
    return processes->startDetached(QStringLiteral("loginctl"),
                                    {QStringLiteral("terminate-user"), SystemInfo::userName()});
}

} // namespace tarv
