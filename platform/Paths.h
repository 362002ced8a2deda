#pragma once

#include "RegistryStore.h"

#include <QString>

namespace tarv {

// The Windows directories as they stand on this system.
class Paths {
public:
    // $TARV_WINDIR, or ${XDG_DATA_HOME:-$HOME/.local/share}/tarv. Created when missing.
    static QString windowsDirectory();
    // <Windows directory>/system, where the mailer is installed.
    static QString systemDirectory();
    // The machine's own folder, whose registry/machine.db the administrator writes and every
    // user reads: $TARV_MACHINE_DIR when set (empty: the machine has none), else the folder
    // this build was made for (/var/lib/tarv for the packages). Never created here.
    static QString machineDirectory();
    // Which machine store the machine roots use: $TARV_MACHINE_STORE "user" or "system",
    // else the automatic choice (see RegistryStore).
    static RegistryStore::MachineStore machineStore();
    // Where this build installs its programs for every user (the packages' /usr/bin).
    static QString installedProgramsDirectory();
    // The directory of the running executable (symbolic links resolved).
    static QString executableDirectory();
    // True when the path's attributes can be read; a directory counts.
    static bool attributesReadable(const QString& path);
    static bool isDirectory(const QString& path);
    // A file name without a folder refers to the Windows directory.
    static QString inWindowsDirectory(const QString& fileName);
};

} // namespace tarv
