// The four exports of the in-process server.
#include "Module.h"
#include "TypeLibrary.h"
#include "widgets/UtilityWidgets.h"

TARV_COM_DEFINE_EXPORTS(tarv::utility::typeLibrary)

namespace {
// The library's window host is offered, and its windows put at the classes' disposal, as
// soon as the library is loaded; whether a window may open is decided when a member asks.
const bool g_widgetsReady =
    (tarv::utility::offerLibraryWindowHost(), tarv::utility::installLibraryWindows(), true);
} // namespace
