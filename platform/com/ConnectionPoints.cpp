#include "ConnectionPoints.h"

namespace tarv::com {

ConnectionPoint::ConnectionPoint(IUnknown* owner, ConnectionPointContainer* container,
                                 const InterfaceInfo& events)
    : m_owner(owner), m_container(container), m_events(events) {}

ConnectionPoint::~ConnectionPoint() {
    for (auto& [cookie, sink] : m_sinks)
        sink->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = m_events.iid;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    *out = m_container;
    m_container->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    IDispatch* d = nullptr;
    if (FAILED(sink->QueryInterface(m_events.iid, reinterpret_cast<void**>(&d))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = m_nextCookie++;
    m_sinks[*cookie] = d;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
    const auto it = m_sinks.find(cookie);
    if (it == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    IDispatch* d = it->second;
    m_sinks.erase(it);
    d->Release();
    return S_OK;
}

HRESULT ConnectionPoint::fire(DISPID id, std::vector<Variant>& args) {
    // A sink may disconnect itself while it runs: call a snapshot.
    std::vector<IDispatch*> sinks;
    for (auto& [cookie, sink] : m_sinks) {
        sink->AddRef();
        sinks.push_back(sink);
    }
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    DISPPARAMS dp;
    dp.rgvarg = reversed.data();
    dp.cArgs = uint32_t(reversed.size());
    HRESULT result = S_OK;
    for (IDispatch* sink : sinks) {
        const HRESULT hr =
            sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
        if (FAILED(hr) && hr != DISP_E_MEMBERNOTFOUND)
            result = hr;
        sink->Release();
    }
    return result;
}

HRESULT ConnectionPointContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid != m_point.events().iid)
        return CONNECT_E_NOCONNECTION;
    *out = &m_point;
    AddRef();
    return S_OK;
}

} // namespace tarv::com
