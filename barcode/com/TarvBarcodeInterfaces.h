#pragma once

// TarvBarcode for late-bound and C++ hosts of the component layer: the control's dual interface
// `_ctlBarcode`, its event interface `__ctlBarcode` (no members) and the identifiers. Create the
// control with tarv::com::createObject("TarvBarcode.ctlBarcode", &d) in a process that runs a
// QApplication; every put stores the value and redraws, and a failed drawing fails the put with
// the error's number and description.

#include "ComTypes.h"
#include "Interfaces.h"
#include "Variant.h"

namespace tarv::barcode {

using com::HRESULT;
using com::IDispatch;
using com::VARIANT_BOOL;

inline constexpr com::GUID LIBID_TarvBarcode =
    com::makeGuid("{754F7766-B470-4E9E-8853-B12460E96840}");
inline constexpr com::CLSID CLSID_ctlBarcode =
    com::makeGuid("{1A081B62-0E5B-4965-B5C7-6420A3BEAF30}");
inline constexpr com::IID IID__ctlBarcode = com::makeGuid("{94C94567-109D-482F-8D29-2A78AF9C62A1}");
inline constexpr com::IID DIID___ctlBarcode =
    com::makeGuid("{BD744F81-1B2F-4C08-94D5-C922F72A4FED}");
inline constexpr uint16_t TarvBarcodeVersionMajor = 1;
inline constexpr uint16_t TarvBarcodeVersionMinor = 0;

// Members in interface order; a result is the last parameter.
class _ctlBarcode : public IDispatch {
public:
    virtual HRESULT get_TipoCodice(int16_t* result) = 0;
    virtual HRESULT put_TipoCodice(int16_t intNewValue) = 0;
    virtual HRESULT get_Codice(QString* result) = 0;
    virtual HRESULT put_Codice(const QString& strNewValue) = 0;
    virtual HRESULT DisegnaCodice() = 0;
    virtual HRESULT get_MostraTesto(VARIANT_BOOL* result) = 0;
    virtual HRESULT put_MostraTesto(VARIANT_BOOL blnNewValue) = 0;
    virtual HRESULT get_Allineamento(int16_t* result) = 0;
    virtual HRESULT put_Allineamento(int16_t intNewValue) = 0;
    virtual HRESULT get_Spessore(int16_t* result) = 0;
    virtual HRESULT put_Spessore(int16_t intValue) = 0;

protected:
    ~_ctlBarcode() = default;
};

} // namespace tarv::barcode
