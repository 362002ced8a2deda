// The four exports of the component library.
#include "BarcodeComponent.h"
#include "Module.h"

TARV_COM_DEFINE_EXPORTS(tarv::barcode::typeLibrary)
