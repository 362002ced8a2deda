#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// The commands that act on the machine (power, printing, the desktop's opener) are found
// through PATH. Every test process puts recorders of them first in PATH before any test runs,
// and refuses to run at all when one of the names still finds another program: no test, and
// nothing a test starts, can reach the real command. A recorder appends one line
// "name arg arg..." to $TARV_WINDIR/commands.log and prints $TARV_WINDIR/fake-output/<name>
// when that file exists.
bool installCommandRecorders(QString* error);

// The recorded calls of the current Windows directory, one "name arg..." line each.
QStringList recordedCommands();

} // namespace tarv
