#include "SystemInfo.h"

#include <pwd.h>
#include <unistd.h>

namespace tarv {

int SystemInfo::platformId() {
    bool ok = false;
    const int id = qEnvironmentVariableIntValue("TARV_PLATFORM_ID", &ok);
    return ok ? id : 2;
}

QString SystemInfo::computerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

QString SystemInfo::userName() {
    if (const passwd* pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString();
}

} // namespace tarv
