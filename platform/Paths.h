#pragma once

#include <QString>

namespace tarv {

// The Windows directories as they stand on this system.
class Paths {
public:
    // $TARV_WINDIR, or ${XDG_DATA_HOME:-$HOME/.local/share}/tarv. Created when missing.
    static QString windowsDirectory();
    // <Windows directory>/system, where the mailer is installed.
    static QString systemDirectory();
    // The directory of the running executable (symbolic links resolved).
    static QString executableDirectory();
    // True when the path's attributes can be read; a directory counts.
    static bool attributesReadable(const QString& path);
    static bool isDirectory(const QString& path);
    // A file name without a folder refers to the Windows directory.
    static QString inWindowsDirectory(const QString& fileName);
};

} // namespace tarv
