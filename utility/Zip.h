#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class Zip final : public com::DispatchObject<_Zip> {
public:
    Zip();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT get_Sorgente(QString* result) override;
    HRESULT put_Sorgente(const QString& value) override;
    HRESULT get_Destinazione(QString* result) override;
    HRESULT put_Destinazione(const QString& value) override;
    HRESULT get_Auto_Avvio(VARIANT_BOOL* result) override;
    HRESULT put_Auto_Avvio(VARIANT_BOOL value) override;
    HRESULT get_Auto_Chiusura(VARIANT_BOOL* result) override;
    HRESULT put_Auto_Chiusura(VARIANT_BOOL value) override;
    HRESULT Zippa() override;
    HRESULT UnZippa() override;
    HRESULT get_Esito(VARIANT_BOOL* result) override;

private:
    HRESULT showWindow(bool expand);
    // The public variables.
    QString m_sorgente;
    QString m_destinazione;
    VARIANT_BOOL m_autoAvvio = com::VARIANT_FALSE;
    VARIANT_BOOL m_autoChiusura = com::VARIANT_FALSE;
    // How the window's last operation ended (number S_OK: it succeeded).
    com::ErrorInfo m_esito;
};

} // namespace tarv::utility
