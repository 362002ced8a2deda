#include "CMouseWheel.h"

#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

CMouseWheel::CMouseWheel()
    : DispatchObject(interfaceInfo(), progIdOf("CMouseWheel")),
      m_events(static_cast<_CMouseWheel*>(this), eventInterface()) {}

const InterfaceInfo& CMouseWheel::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_CMouseWheel");
        i.iid = IID__CMouseWheel;
        i.members = {
            propertyGet<&_CMouseWheel::get_Form>("Form", 0x40030000, VT_DISPATCH),
            propertyPut<&_CMouseWheel::putref_Form>("Form", 0x40030000, VT_DISPATCH, true),
            propertyGet<&_CMouseWheel::get_MouseWheelCancel>("MouseWheelCancel", 0x68030000, VT_I2),
            method<&_CMouseWheel::SubClassHookForm>("SubClassHookForm", 0x60030001, {}),
            method<&_CMouseWheel::SubClassUnHookForm>("SubClassUnHookForm", 0x60030002, {}),
            method<&_CMouseWheel::FireMouseWheel>("FireMouseWheel", 0x60030003, {}),
        };
        return i;
    }();
    return info;
}

const ClassInfo& CMouseWheel::classInfo() {
    static const ClassInfo info{QStringLiteral("CMouseWheel"), CLSID_CMouseWheel, &interfaceInfo(),
                                &eventInterface(), &createAndQuery<CMouseWheel>};
    return info;
}

const InterfaceInfo& CMouseWheel::eventInterface() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("__CMouseWheel");
        i.iid = DIID___CMouseWheel;
        i.dual = false;
        i.members = {eventMember("MouseWheel", 1, {byRef("Cancel", VT_I2)})};
        return i;
    }();
    return info;
}

CMouseWheel::~CMouseWheel() {
    if (m_form)
        m_form->Release();
}

HRESULT CMouseWheel::queryOther(REFIID riid, void** ppv) {
    if (riid == IID_IConnectionPointContainer) {
        *ppv = static_cast<IConnectionPointContainer*>(&m_events);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CMouseWheel::get_Form(IDispatch** result) {
    if (!result)
        return E_POINTER;
    *result = m_form;
    if (m_form)
        m_form->AddRef();
    return S_OK;
}

HRESULT CMouseWheel::putref_Form(IDispatch* Form) {
    if (Form)
        Form->AddRef();
    if (m_form)
        m_form->Release();
    m_form = Form;
    return S_OK;
}

HRESULT CMouseWheel::get_MouseWheelCancel(int16_t* result) {
    return give(result, m_mouseWheelCancel);
}

HRESULT CMouseWheel::raiseMouseWheel(int16_t* cancel) {
    std::vector<Variant> args{Variant::byRef(cancel)};
    return m_events.point().fire(1, args);
}

HRESULT CMouseWheel::SubClassHookForm() {
    return notImplemented("SubClassHookForm");
}

HRESULT CMouseWheel::SubClassUnHookForm() {
    return notImplemented("SubClassUnHookForm");
}

HRESULT CMouseWheel::FireMouseWheel() {
    return notImplemented("FireMouseWheel");
}

} // namespace tarv::utility
