#include "Internet.h"

#include "LibraryWindows.h"
#include "LocalAddress.h"
#include "TypeLibrary.h"
#include "WindowHost.h"

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

HRESULT Internet::IsConnected2Internet(VARIANT_BOOL* result) {
    // The address is asked afresh for each comparison, as the class always did.
    const bool loopback =
        WSKSOCK::LocalAddress().compare(QLatin1String("127.0.0.1"), Qt::CaseInsensitive) == 0;
    const bool connected = !loopback && !WSKSOCK::LocalAddress().isEmpty();
    return give(result, connected ? VARIANT_TRUE : VARIANT_FALSE);
}

HRESULT Internet::MyIP(QString* result) {
    return give(result, WSKSOCK::LocalAddress());
}

HRESULT Internet::Visualizza_Lista_Conn(VARIANT_BOOL* Auto) {
    return showWindow(Auto);
}

HRESULT Internet::Connetti_Pred(VARIANT_BOOL* Auto) {
    return showWindow(Auto);
}

HRESULT Internet::showWindow(const VARIANT_BOOL* automatico) {
    LibraryWindows* windows = libraryWindows();
    if (!windows)
        return raise(controlError(5), noWindowDescription());
    const QString problem = windows->showConnessioni(automatico && *automatico != VARIANT_FALSE);
    return problem.isEmpty() ? S_OK : raise(controlError(5), problem);
}

} // namespace tarv::utility
