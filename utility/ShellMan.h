#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class ShellMan final : public com::DispatchObject<_ShellMan> {
public:
    ShellMan();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT SetVar(QString* NomeFile, QString* Section, QString* Variable,
                   const QString& value) override;
    HRESULT GetVar(QString* NomeFile, QString* Section, QString* Variable,
                   QString* result) override;
    HRESULT FindComputerName(QString* result) override;
    HRESULT FindCurrentUser(QString* result) override;
    HRESULT LockWindow(int32_t* hwnd) override;
    HRESULT UnlockWindow() override;
    HRESULT GetDOSPathName(const QString& strPercorso, QString* result) override;
    HRESULT ResetDefaultPrinter() override;
    HRESULT GetDefaultPrinter(QString* result) override;
    HRESULT SetDefaultPrinter(QString* s) override;
    HRESULT BrowseForFolder(int32_t* handle, const QString& strTitolo, QString* result) override;
    HRESULT OpenFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                   const QString& strFiltro, QString* result) override;
    HRESULT RemoveNullChars(const QString& strString, QString* result) override;
    HRESULT SaveFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                   QString* strFiltro, QString* result) override;
    HRESULT OpenDocument(int32_t* hwnd, QString* strDocPath) override;
    HRESULT PrintDocument(int32_t* hwnd, QString* strDocPath) override;
    HRESULT CreaFileDiTesto(QString* NomeFile, VARIANT_BOOL* Sovrascrivi) override;
    HRESULT DyrSistema(QString* result) override;
    HRESULT FileEsiste(QString* PercorsoFile, VARIANT_BOOL* result) override;

    // The folder that a file-system path's document opens and prints in: its parent folder,
    // "" for a bare file name.
    static QString parentFolder(const QString& path);

private:
    // The default-printer entry current when SetDefaultPrinter was last called here.
    QString SavedPrinter;
};

} // namespace tarv::utility
