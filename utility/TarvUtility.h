#pragma once

// TarvUtility for C++ hosts: the eight classes' dual interfaces, their identifiers and the
// enumerations. Create an object with tarv::com::createObject("TarvUtility.Math", &d) (or by
// class identifier), query it for the class's interface identifier, and call through the
// interface; or stay late-bound with tarv::com::call / getProperty / putProperty.
//
// Every member returns an HRESULT; a member's result is its last parameter. A failed member
// leaves its error (number, description, source) in tarv::com::takeErrorInfo().

#include "Collection.h"
#include "ComPtr.h"
#include "ComTypes.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "ErrorInfo.h"
#include "Interfaces.h"
#include "Variant.h"

namespace tarv::utility {

using com::HRESULT;
using com::IDispatch;
using com::Variant;
using com::VARIANT_BOOL;

// Flags of the platform's shut-down call, in the library's order.
enum Tipo_Speg : int32_t { Disconnetti = 0, Forza = 4, Riavvia = 2, spegni = 1, Spegni1 = 8 };

// The predefined registry roots.
enum TipiDiRami : int32_t {
    CLASSES_ROOT = int32_t(0x80000000u),
    CURRENT_USER = int32_t(0x80000001u),
    LOCAL_MACHINE = int32_t(0x80000002u),
    USERS = int32_t(0x80000003u),
};

inline constexpr com::GUID LIBID_TarvUtility =
    com::makeGuid("{37CA076D-0768-49AE-9D4A-71111D985DC2}");
inline constexpr uint16_t TarvUtilityVersionMajor = 7;
inline constexpr uint16_t TarvUtilityVersionMinor = 0;

inline constexpr com::CLSID CLSID_Math = com::makeGuid("{8F45067D-14AE-4C98-B2E2-3196D3FDB62E}");
inline constexpr com::IID IID__Math = com::makeGuid("{77912DE0-D53C-4FEF-8944-FC12A9E013AE}");
inline constexpr com::CLSID CLSID_Altro = com::makeGuid("{B280B700-1811-4A1E-B05C-EC93D5645803}");
inline constexpr com::IID IID__Altro = com::makeGuid("{1C8DECCC-0150-45BD-AEAE-4F2E848813DD}");
inline constexpr com::CLSID CLSID_CMouseWheel =
    com::makeGuid("{6DCACFFB-C669-44B1-A9E7-4BAFDEDA2683}");
inline constexpr com::IID IID__CMouseWheel =
    com::makeGuid("{A84F9A2E-AD52-44AC-85F5-80EC933AAE63}");
inline constexpr com::IID DIID___CMouseWheel =
    com::makeGuid("{196C3EF7-F90D-4EBC-AF7C-6D54D0AD8F5C}");
inline constexpr com::CLSID CLSID_Contabili =
    com::makeGuid("{5FADF670-C6D5-4036-A6AF-6EEA3AA23D2F}");
inline constexpr com::IID IID__Contabili = com::makeGuid("{D09C0FD9-F447-46DB-B8C0-D0BE0E9B8346}");
inline constexpr com::CLSID CLSID_ShellMan =
    com::makeGuid("{D627427E-0CCF-42E0-9A22-75479E311D1C}");
inline constexpr com::IID IID__ShellMan = com::makeGuid("{3B16D8EF-70E1-479C-88DF-A86F011EDF04}");
inline constexpr com::CLSID CLSID_Internet =
    com::makeGuid("{B1965915-B75D-41E6-8515-C7A131288E32}");
inline constexpr com::IID IID__Internet = com::makeGuid("{87D1D863-1B76-4CDC-A47D-EAED4F1B6012}");
inline constexpr com::CLSID CLSID_GestioneReg =
    com::makeGuid("{C68FD975-BE68-461B-A4A6-86385AFE0206}");
inline constexpr com::IID IID__GestioneReg =
    com::makeGuid("{91F1DEF9-F9D3-498C-B1A0-871FFDACFB31}");
inline constexpr com::CLSID CLSID_Zip = com::makeGuid("{F18B6044-4441-4DA2-ACE3-3AA00D5DE9CC}");
inline constexpr com::IID IID__Zip = com::makeGuid("{D5891643-9780-46B6-A0A4-483C989E2BFB}");
inline constexpr com::GUID GUID_Tipo_Speg = com::makeGuid("{8E4EE10F-75D5-411C-A4F0-2BF0E1C294F2}");
inline constexpr com::GUID GUID_TipiDiRami =
    com::makeGuid("{674C3978-AE81-498D-B4D6-E60D6B9684FB}");

// The dual interfaces. After the seven IDispatch slots come the members in the library's
// order; a property has its get and put in separate slots.

class _Math : public IDispatch {
public:
    virtual HRESULT NDec(Variant* Numero, uint8_t* result) = 0;
    virtual HRESULT Intero(Variant* Numero, Variant* result) = 0;
    virtual HRESULT Round(double* Numero, int16_t* Decimali, uint8_t* Tipo, double* result) = 0;

protected:
    ~_Math() = default;
};

class _Altro : public IDispatch {
public:
    virtual HRESULT IsWinNT(VARIANT_BOOL* result) = 0;
    virtual HRESULT Spegni_Pc(Tipo_Speg* Tipo, VARIANT_BOOL* msg) = 0;
    virtual HRESULT Invia_File(QString* FileDaInviare, QString* Dest, QString* Soggetto,
                               QString* Testo) = 0;

protected:
    ~_Altro() = default;
};

class _CMouseWheel : public IDispatch {
public:
    virtual HRESULT get_Form(IDispatch** result) = 0;
    virtual HRESULT putref_Form(IDispatch* Form) = 0;
    virtual HRESULT get_MouseWheelCancel(int16_t* result) = 0;
    virtual HRESULT SubClassHookForm() = 0;
    virtual HRESULT SubClassUnHookForm() = 0;
    virtual HRESULT FireMouseWheel() = 0;

protected:
    ~_CMouseWheel() = default;
};

class _Contabili : public IDispatch {
public:
    virtual HRESULT Controlla_PI(QString* PIVA, VARIANT_BOOL* result) = 0;
    virtual HRESULT CheckCodFiscale(QString* CFis, VARIANT_BOOL* result) = 0;

protected:
    ~_Contabili() = default;
};

class _ShellMan : public IDispatch {
public:
    virtual HRESULT SetVar(QString* NomeFile, QString* Section, QString* Variable,
                           const QString& value) = 0;
    virtual HRESULT GetVar(QString* NomeFile, QString* Section, QString* Variable,
                           QString* result) = 0;
    virtual HRESULT FindComputerName(QString* result) = 0;
    virtual HRESULT FindCurrentUser(QString* result) = 0;
    virtual HRESULT LockWindow(int32_t* hwnd) = 0;
    virtual HRESULT UnlockWindow() = 0;
    virtual HRESULT GetDOSPathName(const QString& strPercorso, QString* result) = 0;
    virtual HRESULT ResetDefaultPrinter() = 0;
    virtual HRESULT GetDefaultPrinter(QString* result) = 0;
    virtual HRESULT SetDefaultPrinter(QString* s) = 0;
    virtual HRESULT BrowseForFolder(int32_t* handle, const QString& strTitolo, QString* result) = 0;
    virtual HRESULT OpenFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                           const QString& strFiltro, QString* result) = 0;
    virtual HRESULT RemoveNullChars(const QString& strString, QString* result) = 0;
    virtual HRESULT SaveFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                           QString* strFiltro, QString* result) = 0;
    virtual HRESULT OpenDocument(int32_t* hwnd, QString* strDocPath) = 0;
    virtual HRESULT PrintDocument(int32_t* hwnd, QString* strDocPath) = 0;
    virtual HRESULT CreaFileDiTesto(QString* NomeFile, VARIANT_BOOL* Sovrascrivi) = 0;
    virtual HRESULT DyrSistema(QString* result) = 0;
    virtual HRESULT FileEsiste(QString* PercorsoFile, VARIANT_BOOL* result) = 0;

protected:
    ~_ShellMan() = default;
};

class _Internet : public IDispatch {
public:
    virtual HRESULT IsConnected2Internet(VARIANT_BOOL* result) = 0;
    virtual HRESULT MyIP(QString* result) = 0;
    virtual HRESULT Visualizza_Lista_Conn(VARIANT_BOOL* Auto) = 0;
    virtual HRESULT Connetti_Pred(VARIANT_BOOL* Auto) = 0;

protected:
    ~_Internet() = default;
};

class _GestioneReg : public IDispatch {
public:
    virtual HRESULT get_MasterKey(int32_t* result) = 0;
    virtual HRESULT put_MasterKey(int32_t value) = 0;
    virtual HRESULT get_Key(QString* result) = 0;
    virtual HRESULT put_Key(const QString& value) = 0;
    virtual HRESULT get_NameValue(QString* result) = 0;
    virtual HRESULT put_NameValue(const QString& value) = 0;
    virtual HRESULT get_NameKey(QString* result) = 0;
    virtual HRESULT put_NameKey(const QString& value) = 0;
    virtual HRESULT get_STRValue(QString* result) = 0;
    virtual HRESULT put_STRValue(const QString& value) = 0;
    virtual HRESULT get_DWordValue(int32_t* result) = 0;
    virtual HRESULT put_DWordValue(int32_t value) = 0;
    virtual HRESULT get_Tipo(int32_t* result) = 0;
    virtual HRESULT put_Tipo(int32_t value) = 0;
    virtual HRESULT REnumValue(int32_t lCurIdx, VARIANT_BOOL* result) = 0;
    // The collections are com::_Collection objects (Count, Item from 1, enumeration).
    virtual HRESULT Elenca_Chiavi(IDispatch** result) = 0;
    virtual HRESULT Elenca_Valori(IDispatch** result) = 0;
    virtual HRESULT Elimina_Chiave(VARIANT_BOOL* result) = 0;
    virtual HRESULT Elimina_Stringa(QString* nome, VARIANT_BOOL* result) = 0;
    virtual HRESULT Scrivi_DWORD(QString* nome, int16_t* Valore, VARIANT_BOOL* result) = 0;
    virtual HRESULT Leggi_DWORD(QString* nome, QString* result) = 0;
    virtual HRESULT Scrivi_Chiave(VARIANT_BOOL* result) = 0;
    virtual HRESULT Leggi_Stringa(QString* nome, QString* result) = 0;
    virtual HRESULT Scrivi_Stringa(QString* nome, QString* Valore, VARIANT_BOOL* result) = 0;
    virtual HRESULT Controlla_Chiave(VARIANT_BOOL* result) = 0;
    virtual HRESULT Inizializza_registro(TipiDiRami* Ramo, QString* Chiave) = 0;

protected:
    ~_GestioneReg() = default;
};

class _Zip : public IDispatch {
public:
    virtual HRESULT get_Sorgente(QString* result) = 0;
    virtual HRESULT put_Sorgente(const QString& value) = 0;
    virtual HRESULT get_Destinazione(QString* result) = 0;
    virtual HRESULT put_Destinazione(const QString& value) = 0;
    virtual HRESULT get_Auto_Avvio(VARIANT_BOOL* result) = 0;
    virtual HRESULT put_Auto_Avvio(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Auto_Chiusura(VARIANT_BOOL* result) = 0;
    virtual HRESULT put_Auto_Chiusura(VARIANT_BOOL value) = 0;
    virtual HRESULT Zippa() = 0;
    virtual HRESULT UnZippa() = 0;
    // Hidden (DISPID_ESITO): True, or the error that ended the last Zippa or UnZippa.
    virtual HRESULT get_Esito(VARIANT_BOOL* result) = 0;

protected:
    ~_Zip() = default;
};

} // namespace tarv::utility
