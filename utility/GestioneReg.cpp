#include "GestioneReg.h"

#include "Collection.h"
#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

GestioneReg::GestioneReg() : DispatchObject(interfaceInfo(), progIdOf("GestioneReg")) {}

const InterfaceInfo& GestioneReg::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_GestioneReg");
        i.iid = IID__GestioneReg;
        i.members = {
            propertyGet<&_GestioneReg::get_MasterKey>("MasterKey", 0x40030000, VT_I4),
            propertyPut<&_GestioneReg::put_MasterKey>("MasterKey", 0x40030000, VT_I4),
            propertyGet<&_GestioneReg::get_Key>("Key", 0x40030001, VT_BSTR),
            propertyPut<&_GestioneReg::put_Key>("Key", 0x40030001, VT_BSTR),
            propertyGet<&_GestioneReg::get_NameValue>("NameValue", 0x40030002, VT_BSTR),
            propertyPut<&_GestioneReg::put_NameValue>("NameValue", 0x40030002, VT_BSTR),
            propertyGet<&_GestioneReg::get_NameKey>("NameKey", 0x40030003, VT_BSTR),
            propertyPut<&_GestioneReg::put_NameKey>("NameKey", 0x40030003, VT_BSTR),
            propertyGet<&_GestioneReg::get_STRValue>("STRValue", 0x40030004, VT_BSTR),
            propertyPut<&_GestioneReg::put_STRValue>("STRValue", 0x40030004, VT_BSTR),
            propertyGet<&_GestioneReg::get_DWordValue>("DWordValue", 0x40030005, VT_I4),
            propertyPut<&_GestioneReg::put_DWordValue>("DWordValue", 0x40030005, VT_I4),
            propertyGet<&_GestioneReg::get_Tipo>("Tipo", 0x40030006, VT_I4),
            propertyPut<&_GestioneReg::put_Tipo>("Tipo", 0x40030006, VT_I4),
            method<&_GestioneReg::REnumValue>("REnumValue", 0x60030000, {byVal("lCurIdx", VT_I4)},
                                              VT_BOOL),
            withResultType(
                method<&_GestioneReg::Elenca_Chiavi>("Elenca_Chiavi", 0x60030002, {}, VT_DISPATCH),
                "Collection"),
            withResultType(
                method<&_GestioneReg::Elenca_Valori>("Elenca_Valori", 0x60030003, {}, VT_DISPATCH),
                "Collection"),
            method<&_GestioneReg::Elimina_Chiave>("Elimina_Chiave", 0x60030004, {}, VT_BOOL),
            method<&_GestioneReg::Elimina_Stringa>("Elimina_Stringa", 0x60030005,
                                                   {byRef("nome", VT_BSTR)}, VT_BOOL),
            method<&_GestioneReg::Scrivi_DWORD>("Scrivi_DWORD", 0x60030006,
                                                {byRef("nome", VT_BSTR), byRef("Valore", VT_I2)},
                                                VT_BOOL),
            method<&_GestioneReg::Leggi_DWORD>("Leggi_DWORD", 0x60030007, {byRef("nome", VT_BSTR)},
                                               VT_BSTR),
            method<&_GestioneReg::Scrivi_Chiave>("Scrivi_Chiave", 0x60030008, {}, VT_BOOL),
            method<&_GestioneReg::Leggi_Stringa>("Leggi_Stringa", 0x60030009,
                                                 {byRef("nome", VT_BSTR)}, VT_BSTR),
            method<&_GestioneReg::Scrivi_Stringa>(
                "Scrivi_Stringa", 0x6003000A, {byRef("nome", VT_BSTR), byRef("Valore", VT_BSTR)},
                VT_BOOL),
            method<&_GestioneReg::Controlla_Chiave>("Controlla_Chiave", 0x6003000B, {}, VT_BOOL),
            method<&_GestioneReg::Inizializza_registro>(
                "Inizializza_registro", 0x60030017,
                {optional(byRef("Ramo", VT_I4), Variant(int32_t(LOCAL_MACHINE)), "TipiDiRami"),
                 optional(byRef("Chiave", VT_BSTR), Variant(QString()))}),
        };
        return i;
    }();
    return info;
}

const ClassInfo& GestioneReg::classInfo() {
    static const ClassInfo info{QStringLiteral("GestioneReg"), CLSID_GestioneReg, &interfaceInfo(),
                                nullptr, &createAndQuery<GestioneReg>};
    return info;
}

HRESULT GestioneReg::get_MasterKey(int32_t* result) {
    return give(result, m_reg.MasterKey);
}
HRESULT GestioneReg::put_MasterKey(int32_t value) {
    m_reg.MasterKey = value;
    return S_OK;
}
HRESULT GestioneReg::get_Key(QString* result) {
    return give(result, m_reg.Key);
}
HRESULT GestioneReg::put_Key(const QString& value) {
    m_reg.Key = value;
    return S_OK;
}
HRESULT GestioneReg::get_NameValue(QString* result) {
    return give(result, m_reg.NameValue);
}
HRESULT GestioneReg::put_NameValue(const QString& value) {
    m_reg.NameValue = value;
    return S_OK;
}
HRESULT GestioneReg::get_NameKey(QString* result) {
    return give(result, m_reg.NameKey);
}
HRESULT GestioneReg::put_NameKey(const QString& value) {
    m_reg.NameKey = value;
    return S_OK;
}
HRESULT GestioneReg::get_STRValue(QString* result) {
    return give(result, m_reg.STRValue);
}
HRESULT GestioneReg::put_STRValue(const QString& value) {
    m_reg.STRValue = value;
    return S_OK;
}
HRESULT GestioneReg::get_DWordValue(int32_t* result) {
    return give(result, m_reg.DWordValue);
}
HRESULT GestioneReg::put_DWordValue(int32_t value) {
    m_reg.DWordValue = value;
    return S_OK;
}
HRESULT GestioneReg::get_Tipo(int32_t* result) {
    return give(result, m_reg.Tipo);
}
HRESULT GestioneReg::put_Tipo(int32_t value) {
    m_reg.Tipo = value;
    return S_OK;
}

HRESULT GestioneReg::REnumValue(int32_t lCurIdx, VARIANT_BOOL* result) {
    return give(result, toVariantBool(m_reg.REnumValue(lCurIdx)));
}

HRESULT GestioneReg::Elenca_Chiavi(IDispatch** result) {
    if (!result)
        return E_POINTER;
    *result = Collection::create(m_reg.Elenca_Chiavi());
    return S_OK;
}

HRESULT GestioneReg::Elenca_Valori(IDispatch** result) {
    if (!result)
        return E_POINTER;
    *result = Collection::create(m_reg.Elenca_Valori());
    return S_OK;
}

HRESULT GestioneReg::Elimina_Chiave(VARIANT_BOOL* result) {
    return give(result, toVariantBool(m_reg.Elimina_Chiave()));
}

HRESULT GestioneReg::Elimina_Stringa(QString* nome, VARIANT_BOOL* result) {
    if (!nome)
        return E_POINTER;
    return give(result, toVariantBool(m_reg.Elimina_Stringa(*nome)));
}

HRESULT GestioneReg::Scrivi_DWORD(QString* nome, int16_t* Valore, VARIANT_BOOL* result) {
    if (!nome || !Valore)
        return E_POINTER;
    return give(result, toVariantBool(m_reg.Scrivi_DWORD(*nome, *Valore)));
}

HRESULT GestioneReg::Leggi_DWORD(QString* nome, QString* result) {
    if (!nome)
        return E_POINTER;
    return give(result, m_reg.Leggi_DWORD(*nome));
}

HRESULT GestioneReg::Scrivi_Chiave(VARIANT_BOOL* result) {
    return give(result, toVariantBool(m_reg.Scrivi_Chiave()));
}

HRESULT GestioneReg::Leggi_Stringa(QString* nome, QString* result) {
    if (!nome)
        return E_POINTER;
    return give(result, m_reg.Leggi_Stringa(*nome));
}

HRESULT GestioneReg::Scrivi_Stringa(QString* nome, QString* Valore, VARIANT_BOOL* result) {
    if (!nome || !Valore)
        return E_POINTER;
    return give(result, toVariantBool(m_reg.Scrivi_Stringa(*nome, *Valore)));
}

HRESULT GestioneReg::Controlla_Chiave(VARIANT_BOOL* result) {
    return give(result, toVariantBool(m_reg.Controlla_Chiave()));
}

HRESULT GestioneReg::Inizializza_registro(TipiDiRami* Ramo, QString* Chiave) {
    if (!Ramo || !Chiave)
        return E_POINTER;
    m_reg.Inizializza_registro(*Ramo, *Chiave);
    return S_OK;
}

} // namespace tarv::utility
