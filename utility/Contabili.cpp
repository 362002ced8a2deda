#include "Contabili.h"

#include "TypeLibrary.h"

#include "TaxIdentifiers.h"

namespace tarv::utility {

using namespace com;

Contabili::Contabili() : DispatchObject(interfaceInfo(), progIdOf("Contabili")) {}

const InterfaceInfo& Contabili::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Contabili");
        i.iid = IID__Contabili;
        i.members = {
            method<&_Contabili::Controlla_PI>("Controlla_PI", 0x60030000, {byRef("PIVA", VT_BSTR)},
                                              VT_BOOL),
            method<&_Contabili::CheckCodFiscale>("CheckCodFiscale", 0x60030001,
                                                 {byRef("CFis", VT_BSTR)}, VT_BOOL),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Contabili::classInfo() {
    static const ClassInfo info{QStringLiteral("Contabili"), CLSID_Contabili, &interfaceInfo(),
                                nullptr, &createAndQuery<Contabili>};
    return info;
}

// The checks themselves live in TaxIdentifiers; the class converts at its boundary.
HRESULT Contabili::Controlla_PI(QString* PIVA, VARIANT_BOOL* result) {
    if (!PIVA || !result)
        return E_POINTER;
    *result = toVariantBool(TaxIdentifiers::Controlla_PI(*PIVA));
    return S_OK;
}

HRESULT Contabili::CheckCodFiscale(QString* CFis, VARIANT_BOOL* result) {
    if (!CFis || !result)
        return E_POINTER;
    *result = toVariantBool(TaxIdentifiers::CheckCodFiscale(*CFis));
    return S_OK;
}

} // namespace tarv::utility
