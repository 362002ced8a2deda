#include "Zip.h"

#include "LibraryWindows.h"
#include "TypeLibrary.h"
#include "WindowHost.h"

namespace tarv::utility {

using namespace com;

Zip::Zip() : DispatchObject(interfaceInfo(), progIdOf("Zip")) {}

const InterfaceInfo& Zip::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Zip");
        i.iid = IID__Zip;
        i.members = {
            propertyGet<&_Zip::get_Sorgente>("Sorgente", 0x40030000, VT_BSTR),
            propertyPut<&_Zip::put_Sorgente>("Sorgente", 0x40030000, VT_BSTR),
            propertyGet<&_Zip::get_Destinazione>("Destinazione", 0x40030001, VT_BSTR),
            propertyPut<&_Zip::put_Destinazione>("Destinazione", 0x40030001, VT_BSTR),
            propertyGet<&_Zip::get_Auto_Avvio>("Auto_Avvio", 0x40030002, VT_BOOL),
            propertyPut<&_Zip::put_Auto_Avvio>("Auto_Avvio", 0x40030002, VT_BOOL),
            propertyGet<&_Zip::get_Auto_Chiusura>("Auto_Chiusura", 0x40030003, VT_BOOL),
            propertyPut<&_Zip::put_Auto_Chiusura>("Auto_Chiusura", 0x40030003, VT_BOOL),
            method<&_Zip::Zippa>("Zippa", 0x60030000, {}),
            method<&_Zip::UnZippa>("UnZippa", 0x60030001, {}),
            hidden(propertyGet<&_Zip::get_Esito>("Esito", DISPID_ESITO, VT_BOOL)),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Zip::classInfo() {
    static const ClassInfo info{QStringLiteral("Zip"), CLSID_Zip, &interfaceInfo(), nullptr,
                                &createAndQuery<Zip>};
    return info;
}

HRESULT Zip::get_Sorgente(QString* result) {
    return give(result, m_sorgente);
}

HRESULT Zip::put_Sorgente(const QString& value) {
    m_sorgente = value;
    return S_OK;
}

HRESULT Zip::get_Destinazione(QString* result) {
    return give(result, m_destinazione);
}

HRESULT Zip::put_Destinazione(const QString& value) {
    m_destinazione = value;
    return S_OK;
}

HRESULT Zip::get_Auto_Avvio(VARIANT_BOOL* result) {
    return give(result, m_autoAvvio);
}

HRESULT Zip::put_Auto_Avvio(VARIANT_BOOL value) {
    m_autoAvvio = value;
    return S_OK;
}

HRESULT Zip::get_Auto_Chiusura(VARIANT_BOOL* result) {
    return give(result, m_autoChiusura);
}

HRESULT Zip::put_Auto_Chiusura(VARIANT_BOOL value) {
    m_autoChiusura = value;
    return S_OK;
}

HRESULT Zip::Zippa() {
    return showWindow(false);
}

HRESULT Zip::UnZippa() {
    return showWindow(true);
}

HRESULT Zip::showWindow(bool expand) {
    LibraryWindows* windows = libraryWindows();
    if (!windows)
        return raise(controlError(5), noWindowDescription());
    // Zippa and UnZippa themselves report nothing (the window has shown what happened); the
    // outcome waits in Esito for hosts that ask.
    ErrorInfo outcome;
    const QString problem =
        windows->showZip({expand, m_sorgente, m_destinazione, m_autoAvvio != VARIANT_FALSE,
                          m_autoChiusura != VARIANT_FALSE},
                         &outcome);
    if (!problem.isEmpty())
        return raise(controlError(5), problem);
    m_esito = outcome;
    return S_OK;
}

HRESULT Zip::get_Esito(VARIANT_BOOL* result) {
    if (m_esito.number != S_OK)
        return raise(m_esito.number, m_esito.description);
    return give(result, VARIANT_TRUE);
}

} // namespace tarv::utility
