#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class Altro final : public com::DispatchObject<_Altro> {
public:
    Altro();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT IsWinNT(VARIANT_BOOL* result) override;
    HRESULT Spegni_Pc(Tipo_Speg* Tipo, VARIANT_BOOL* msg) override;
    HRESULT Invia_File(QString* FileDaInviare, QString* Dest, QString* Soggetto,
                       QString* Testo) override;
};

} // namespace tarv::utility
