#include "UtilityWidgets.h"

#include "QtWindowHost.h"
#include "Services.h"

#include <QWidget>

namespace tarv::utility {

namespace {
// Lives as long as the library is loaded: withdrawn when it is unloaded, so that the
// process never keeps a pointer into a library that is gone.
struct LibraryWindowHost {
    LibraryWindowHost() { Services::offerWindowHost(&host); }
    ~LibraryWindowHost() { Services::withdrawWindowHost(&host); }
    QtWindowHost host;
};
} // namespace

void offerLibraryWindowHost() {
    static LibraryWindowHost offered;
}

QWidget* parentWindow(qint64 handle) {
    return qobject_cast<QWidget*>(ownerWindow(handle));
}

} // namespace tarv::utility
