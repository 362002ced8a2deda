#pragma once

#include "Interfaces.h"

#include <atomic>

namespace tarv::com {

// Live objects and server locks of the process's component libraries (DllCanUnloadNow).
struct ModuleCounts {
    static void objectCreated();
    static void objectDestroyed();
    static void lock(bool on);
    static bool idle();
};

// The IUnknown half of an object of class Derived whose interface is I (identified by Iid):
// QueryInterface answers IUnknown, Iid and whatever Derived::isAlso accepts with I, and hands
// every other request to Derived::queryOther; the object starts with one reference, is deleted
// when the last one goes, and counts among the module's live objects meanwhile. Derived may
// hide isAlso and queryOther (as members its base can reach).
template <class Derived, class I, const IID& Iid> class ComObject : public I {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        Derived* self = static_cast<Derived*>(this);
        if (riid == IID_IUnknown || riid == Iid || self->isAlso(riid)) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        return self->queryOther(riid, ppv);
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }

protected:
    ComObject() { ModuleCounts::objectCreated(); }
    virtual ~ComObject() { ModuleCounts::objectDestroyed(); }

    bool isAlso(REFIID) const { return false; }
    HRESULT queryOther(REFIID, void** ppv) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace tarv::com
