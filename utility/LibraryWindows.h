#pragma once

#include "ErrorInfo.h"

#include <QString>

#include <functional>

namespace tarv::utility {

// What the classes ask of the library's private windows and of the host's windows. The
// widgets part of the library gives the implementation (installLibraryWindows() there); the
// classes stay free of widgets. Whether a window may be shown at all is the window host's
// decision (canShowWindows()), made by libraryWindows() before any of these is reached. Each
// operation answers "" when done, or the description of why it could not be done (the window
// already open, no window of that handle).
class LibraryWindows {
public:
    virtual ~LibraryWindows() = default;

    struct ZipRequest {
        bool expand = false; // frmUnZippa rather than frmZippa
        QString sorgente;
        QString destinazione;
        bool autoAvvio = false;
        bool autoChiusura = false;
    };
    // Shows frmZippa or frmUnZippa modally and returns when it has closed; `outcome` gets the
    // error of the window's last operation (number S_OK when it succeeded).
    virtual QString showZip(const ZipRequest& request, com::ErrorInfo* outcome) = 0;
    // Shows frmConnessioni modally, with its Automatico property set.
    virtual QString showConnessioni(bool automatico) = 0;

    // Chains a filter in front of the window with this handle and everything inside it:
    // `onWheel` runs for each wheel event and returns true to stop it. One window per thread;
    // hooking another window first releases the one hooked before.
    virtual QString hookWheel(qint64 hwnd, std::function<bool()> onWheel) = 0;
    // Removes the filter from that window, when it is the hooked one; otherwise nothing.
    virtual void unhookWheel(qint64 hwnd) = 0;
};

// The installed implementation, when the calling thread can show a window; null otherwise,
// and in a build without the widgets part: the member then fails with
// noWindowDescription().
LibraryWindows* libraryWindows();
void setLibraryWindows(LibraryWindows* windows);

} // namespace tarv::utility
