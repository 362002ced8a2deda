// The four exports of the in-process server.
#include "Module.h"
#include "TypeLibrary.h"
#include "UtilityWidgets.h"

namespace {
// The windows are there as soon as the library is loaded; whether one may open is decided
// when a member asks for it.
const bool windowsInstalled = (tarv::utility::installLibraryWindows(), true);
} // namespace

TARV_COM_DEFINE_EXPORTS(tarv::utility::typeLibrary)
