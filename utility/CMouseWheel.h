#pragma once

#include "ConnectionPoints.h"
#include "Dispatch.h"
#include "TarvUtility.h"

namespace tarv::utility {

class CMouseWheel final : public com::DispatchObject<_CMouseWheel> {
public:
    CMouseWheel();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    // The outgoing interface __CMouseWheel: event MouseWheel(Cancel As Integer by ref), id 1.
    static const com::InterfaceInfo& eventInterface();

    HRESULT get_Form(IDispatch** result) override;
    HRESULT putref_Form(IDispatch* Form) override;
    HRESULT get_MouseWheelCancel(int16_t* result) override;
    HRESULT SubClassHookForm() override;
    HRESULT SubClassUnHookForm() override;
    HRESULT FireMouseWheel() override;

    // Raises MouseWheel on the connected sinks; a sink may set Cancel.
    HRESULT raiseMouseWheel(int16_t* cancel);

protected:
    HRESULT queryOther(com::REFIID riid, void** ppv) override;

private:
    ~CMouseWheel() override;
    // The window handle of Form, read through dispatch.
    HRESULT formHandle(qint64* hwnd);
    com::ConnectionPointContainer m_events;
    IDispatch* m_form = nullptr;
    int16_t m_mouseWheelCancel = 0;
};

} // namespace tarv::utility
