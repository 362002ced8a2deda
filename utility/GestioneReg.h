#pragma once

#include "Dispatch.h"
#include "RegistryObject.h"
#include "TarvUtility.h"

namespace tarv::utility {

// The registry helper's library face, on the shared registry object: the public variables
// are the object's fields, value names and values come as arguments, read values as results.
class GestioneReg final : public com::DispatchObject<_GestioneReg> {
public:
    GestioneReg();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT get_MasterKey(int32_t* result) override;
    HRESULT put_MasterKey(int32_t value) override;
    HRESULT get_Key(QString* result) override;
    HRESULT put_Key(const QString& value) override;
    HRESULT get_NameValue(QString* result) override;
    HRESULT put_NameValue(const QString& value) override;
    HRESULT get_NameKey(QString* result) override;
    HRESULT put_NameKey(const QString& value) override;
    HRESULT get_STRValue(QString* result) override;
    HRESULT put_STRValue(const QString& value) override;
    HRESULT get_DWordValue(int32_t* result) override;
    HRESULT put_DWordValue(int32_t value) override;
    HRESULT get_Tipo(int32_t* result) override;
    HRESULT put_Tipo(int32_t value) override;
    HRESULT REnumValue(int32_t lCurIdx, VARIANT_BOOL* result) override;
    HRESULT Elenca_Chiavi(IDispatch** result) override;
    HRESULT Elenca_Valori(IDispatch** result) override;
    HRESULT Elimina_Chiave(VARIANT_BOOL* result) override;
    HRESULT Elimina_Stringa(QString* nome, VARIANT_BOOL* result) override;
    HRESULT Scrivi_DWORD(QString* nome, int16_t* Valore, VARIANT_BOOL* result) override;
    HRESULT Leggi_DWORD(QString* nome, QString* result) override;
    HRESULT Scrivi_Chiave(VARIANT_BOOL* result) override;
    HRESULT Leggi_Stringa(QString* nome, QString* result) override;
    HRESULT Scrivi_Stringa(QString* nome, QString* Valore, VARIANT_BOOL* result) override;
    HRESULT Controlla_Chiave(VARIANT_BOOL* result) override;
    HRESULT Inizializza_registro(TipiDiRami* Ramo, QString* Chiave) override;

private:
    RegistryObject m_reg; // on the process-wide registry store
};

} // namespace tarv::utility
