#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class Contabili final : public com::DispatchObject<_Contabili> {
public:
    Contabili();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT Controlla_PI(QString* PIVA, VARIANT_BOOL* result) override;
    HRESULT CheckCodFiscale(QString* CFis, VARIANT_BOOL* result) override;
};

} // namespace tarv::utility
