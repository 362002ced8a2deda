#pragma once

#include "Dispatch.h"
#include "TarvBarcodeInterfaces.h"
#include "tarv/ctlBarcode.h"

#include <QPointer>

namespace tarv::barcode {

// The control as a component: the dual interface over one ctlBarcode widget, which the object
// creates and owns. A host that wants the control on its window takes widget() and reparents it.
class BarcodeComponent final : public com::DispatchObject<_ctlBarcode> {
public:
    BarcodeComponent();

    static const com::InterfaceInfo& interfaceInfo();
    static const com::InterfaceInfo& eventInterface();
    static const com::ClassInfo& classInfo();
    // Creation fails, with a description, in a process without a QApplication: the control is
    // a widget.
    static HRESULT create(com::REFIID riid, void** ppv);

    ctlBarcode* widget() const { return m_control.data(); }

    HRESULT get_TipoCodice(int16_t* result) override;
    HRESULT put_TipoCodice(int16_t intNewValue) override;
    HRESULT get_Codice(QString* result) override;
    HRESULT put_Codice(const QString& strNewValue) override;
    HRESULT DisegnaCodice() override;
    HRESULT get_MostraTesto(VARIANT_BOOL* result) override;
    HRESULT put_MostraTesto(VARIANT_BOOL blnNewValue) override;
    HRESULT get_Allineamento(int16_t* result) override;
    HRESULT put_Allineamento(int16_t intNewValue) override;
    HRESULT get_Spessore(int16_t* result) override;
    HRESULT put_Spessore(int16_t intValue) override;

private:
    ~BarcodeComponent() override;
    // The outcome of a drawing as the result of the call that caused it.
    HRESULT outcome(const BarcodeStatus& status) const;
    HRESULT gone() const;

    QPointer<ctlBarcode> m_control;
};

const com::TypeLibInfo& typeLibrary();

} // namespace tarv::barcode
