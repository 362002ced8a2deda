#include "Math.h"

#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

Math::Math() : DispatchObject(interfaceInfo(), progIdOf("Math")) {}

const InterfaceInfo& Math::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Math");
        i.iid = IID__Math;
        i.members = {
            method<&_Math::NDec>("NDec", 0x60030000, {byRef("Numero", VT_VARIANT)}, VT_UI1),
            method<&_Math::Intero>("Intero", 0x60030001, {byRef("Numero", VT_VARIANT)}, VT_VARIANT),
            method<&_Math::Round>("Round", 0x60030002,
                                  {byRef("Numero", VT_R8), byRef("Decimali", VT_I2), byRef("Tipo", VT_UI1)}, VT_R8),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Math::classInfo() {
    static const ClassInfo info{QStringLiteral("Math"), CLSID_Math, &interfaceInfo(), nullptr,
                               &createAndQuery<Math>};
    return info;
}

HRESULT Math::NDec(Variant*, uint8_t*) {
    return notImplemented("NDec");
}

HRESULT Math::Intero(Variant*, Variant*) {
    return notImplemented("Intero");
}

HRESULT Math::Round(double*, int16_t*, uint8_t*, double*) {
    return notImplemented("Round");
}

} // namespace tarv::utility
