#pragma once

#include <QtGlobal>

class QWidget;

namespace tarv::utility {

// Offers the library's Qt window host to the process it is loaded into (see
// Services::offerWindowHost), so that a Qt host that never heard of the suite still gets Qt
// boxes and dialogs on its GUI thread. Called once, when libTarvUtility is loaded.
void offerLibraryWindowHost();

// The parent of a window the library opens: the window whose handle is given, else the
// host's active window; null when there is none or when no window can be shown here
// (check canShowWindows() first and fail the call with noWindowDescription()).
QWidget* parentWindow(qint64 handle = 0);

// Puts the library's windows at the classes' disposal (LibraryWindows). The shared library
// does it when it is loaded; tests that link the parts call it themselves.
void installLibraryWindows();

} // namespace tarv::utility
