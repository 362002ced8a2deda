#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class Math final : public com::DispatchObject<_Math> {
public:
    Math();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT NDec(Variant* Numero, uint8_t* result) override;
    HRESULT Intero(Variant* Numero, Variant* result) override;
    HRESULT Round(double* Numero, int16_t* Decimali, uint8_t* Tipo, double* result) override;
};

} // namespace tarv::utility
