// The four exports of the in-process server.
#include "Module.h"
#include "TypeLibrary.h"
#include "widgets/UtilityWidgets.h"

TARV_COM_DEFINE_EXPORTS(tarv::utility::typeLibrary)

namespace {
// The library's window host is offered as soon as the library is loaded.
const bool g_windowHostOffered = (tarv::utility::offerLibraryWindowHost(), true);
} // namespace
