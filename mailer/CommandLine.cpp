#include "CommandLine.h"

namespace tarv {

bool opensSettingsOnly(const QStringList& arguments) {
    return arguments == QStringList{QStringLiteral("Impostazioni")};
}

} // namespace tarv
