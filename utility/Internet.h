#pragma once

#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class Internet final : public com::DispatchObject<_Internet> {
public:
    Internet();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT IsConnected2Internet(VARIANT_BOOL* result) override;
    HRESULT MyIP(QString* result) override;
    HRESULT Visualizza_Lista_Conn(VARIANT_BOOL* Auto) override;
    HRESULT Connetti_Pred(VARIANT_BOOL* Auto) override;

private:
    HRESULT showWindow(const VARIANT_BOOL* automatico);
};

} // namespace tarv::utility
