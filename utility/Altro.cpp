#include "Altro.h"

#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

Altro::Altro() : DispatchObject(interfaceInfo(), progIdOf("Altro")) {}

const InterfaceInfo& Altro::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Altro");
        i.iid = IID__Altro;
        i.members = {
            method<&_Altro::IsWinNT>("IsWinNT", 0x60030000, {}, VT_BOOL),
            method<&_Altro::Spegni_Pc>(
                "Spegni_Pc", 0x60030001,
                {optional(byRef("Tipo", VT_I4), Variant(int32_t(spegni)), "Tipo_Speg"),
                 optional(byRef("msg", VT_BOOL), Variant(true))}),
            method<&_Altro::Invia_File>("Invia_File", 0x60030003,
                                        {byRef("FileDaInviare", VT_BSTR),
                                         optional(byRef("Dest", VT_BSTR), Variant(QString())),
                                         optional(byRef("Soggetto", VT_BSTR), Variant(QString())),
                                         optional(byRef("Testo", VT_BSTR), Variant(QString()))}),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Altro::classInfo() {
    static const ClassInfo info{QStringLiteral("Altro"), CLSID_Altro, &interfaceInfo(), nullptr,
                                &createAndQuery<Altro>};
    return info;
}

HRESULT Altro::IsWinNT(VARIANT_BOOL*) {
    return notImplemented("IsWinNT");
}

HRESULT Altro::Spegni_Pc(Tipo_Speg*, VARIANT_BOOL*) {
    return notImplemented("Spegni_Pc");
}

HRESULT Altro::Invia_File(QString*, QString*, QString*, QString*) {
    return notImplemented("Invia_File");
}

} // namespace tarv::utility
