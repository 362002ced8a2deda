#include "LibraryWindows.h"

#include "WindowHost.h"

namespace tarv::utility {

namespace {
LibraryWindows* g_windows = nullptr;
}

LibraryWindows* libraryWindows() {
    return canShowWindows() ? g_windows : nullptr;
}

void setLibraryWindows(LibraryWindows* windows) {
    g_windows = windows;
}

} // namespace tarv::utility
