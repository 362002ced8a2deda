#pragma once

#include "Interfaces.h"
#include "MemberTable.h"

#include <map>
#include <vector>

namespace tarv::com {

class ConnectionPointContainer;

// One outgoing (event) interface of an object. Hosts connect a sink (an object implementing
// the event interface or plain IDispatch) with Advise and get a cookie for Unadvise. The point
// lives inside its object: its references are the object's.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IUnknown* owner, ConnectionPointContainer* container,
                    const InterfaceInfo& events);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return m_owner->AddRef(); }
    ULONG Release() override { return m_owner->Release(); }
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;

    // Calls the event on every connected sink, arguments left to right; by-reference
    // arguments (Variant::byRef) come back changed when a sink changes them.
    HRESULT fire(DISPID id, std::vector<Variant>& args);
    size_t sinkCount() const { return m_sinks.size(); }
    const InterfaceInfo& events() const { return m_events; }

private:
    IUnknown* m_owner;
    ConnectionPointContainer* m_container;
    const InterfaceInfo& m_events;
    std::map<uint32_t, IDispatch*> m_sinks;
    uint32_t m_nextCookie = 1;
};

// The connection point container of an object with events.
class ConnectionPointContainer final : public IConnectionPointContainer {
public:
    ConnectionPointContainer(IUnknown* owner, const InterfaceInfo& events)
        : m_owner(owner), m_point(owner, this, events) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return m_owner->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return m_owner->AddRef(); }
    ULONG Release() override { return m_owner->Release(); }
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    ConnectionPoint& point() { return m_point; }

private:
    IUnknown* m_owner;
    ConnectionPoint m_point;
};

} // namespace tarv::com
