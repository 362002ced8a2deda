#pragma once

#include <QStringList>

namespace tarv {

// The program opens only its settings window when its command line is exactly the one word
// "Impostazioni" (letter case and blanks count).
bool opensSettingsOnly(const QStringList& arguments);

} // namespace tarv
