#include "CMouseWheel.h"

#include "ComPtr.h"
#include "Conversions.h"
#include "DispatchCall.h"
#include "LibraryWindows.h"
#include "Module.h"
#include "TypeLibrary.h"
#include "WindowHost.h"

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

namespace {

// The module state of the hook, one per thread: the instance that last hooked a window here.
// It stays referenced after unhooking, until another hook on the thread replaces it.
struct WheelState {
    ComPtr<CMouseWheel> hooked;
};

// What the hook does for each wheel event: raise MouseWheel on the hooked instance and stop
// the event when the handlers left the cancel flag set.
bool onWheel() {
    ComPtr<CMouseWheel> instance = moduleState<WheelState>().hooked;
    if (!instance)
        return false;
    instance->FireMouseWheel();
    int16_t cancel = 0;
    instance->get_MouseWheelCancel(&cancel);
    return cancel != 0;
}

} // namespace

HRESULT CMouseWheel::formHandle(qint64* hwnd) {
    if (!m_form)
        return raise(controlError(91), QStringLiteral("Variabile oggetto o variabile del blocco "
                                                      "With non impostata"));
    Variant value;
    ErrorInfo error;
    if (FAILED(getProperty(m_form, QStringLiteral("hwnd"), &value, &error)))
        return raise(error.number, error.description);
    Variant handle;
    if (HRESULT hr = changeType(value, VT_I4, &handle); FAILED(hr))
        return raise(hr);
    *hwnd = qint64(uint32_t(handle.toI4()));
    return S_OK;
}

HRESULT CMouseWheel::SubClassHookForm() {
    LibraryWindows* windows = libraryWindows();
    if (!windows)
        return raise(controlError(5), noWindowDescription());
    qint64 hwnd = 0;
    if (HRESULT hr = formHandle(&hwnd); FAILED(hr))
        return hr;
    if (const QString problem = windows->hookWheel(hwnd, &onWheel); !problem.isEmpty())
        return raise(controlError(5), problem);
    ComPtr<CMouseWheel> self(this);
    moduleState<WheelState>().hooked = self;
    return S_OK;
}

HRESULT CMouseWheel::SubClassUnHookForm() {
    LibraryWindows* windows = libraryWindows();
    if (!windows)
        return raise(controlError(5), noWindowDescription());
    qint64 hwnd = 0;
    if (HRESULT hr = formHandle(&hwnd); FAILED(hr))
        return hr;
    windows->unhookWheel(hwnd);
    // Nothing hooked is left holding this instance, nor the handlers connected to it.
    WheelState& state = moduleState<WheelState>();
    if (state.hooked.get() == this)
        state.hooked.reset();
    return S_OK;
}

HRESULT CMouseWheel::FireMouseWheel() {
    return raiseMouseWheel(&m_mouseWheelCancel);
}

} // namespace tarv::utility
