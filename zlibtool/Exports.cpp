// The four exports of the in-process server.
#include "Module.h"
#include "ZlibTool.h"

TARV_COM_DEFINE_EXPORTS(tarv::zlibtool::typeLibrary)
