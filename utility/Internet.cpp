#include "Internet.h"

#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

Internet::Internet() : DispatchObject(interfaceInfo(), progIdOf("Internet")) {}

const InterfaceInfo& Internet::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Internet");
        i.iid = IID__Internet;
        i.members = {
            method<&_Internet::IsConnected2Internet>("IsConnected2Internet", 0x60030000, {},
                                                     VT_BOOL),
            method<&_Internet::MyIP>("MyIP", 0x60030001, {}, VT_BSTR),
            method<&_Internet::Visualizza_Lista_Conn>(
                "Visualizza_Lista_Conn", 0x60030006,
                {optional(byRef("Auto", VT_BOOL), Variant(false))}),
            method<&_Internet::Connetti_Pred>("Connetti_Pred", 0x60030007,
                                              {optional(byRef("Auto", VT_BOOL), Variant(true))}),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Internet::classInfo() {
    static const ClassInfo info{QStringLiteral("Internet"), CLSID_Internet, &interfaceInfo(),
                                nullptr, &createAndQuery<Internet>};
    return info;
}

HRESULT Internet::IsConnected2Internet(VARIANT_BOOL*) {
    return notImplemented("IsConnected2Internet");
}

HRESULT Internet::MyIP(QString*) {
    return notImplemented("MyIP");
}

HRESULT Internet::Visualizza_Lista_Conn(VARIANT_BOOL*) {
    return notImplemented("Visualizza_Lista_Conn");
}

HRESULT Internet::Connetti_Pred(VARIANT_BOOL*) {
    return notImplemented("Connetti_Pred");
}

} // namespace tarv::utility
