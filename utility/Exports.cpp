// The four exports of the in-process server.
#include "Module.h"
#include "TypeLibrary.h"

TARV_COM_DEFINE_EXPORTS(tarv::utility::typeLibrary)
