#pragma once

#include "Interfaces.h"

#include <utility>

namespace tarv::com {

// Holds one reference to an interface and releases it at the end.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference.
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.m_p) {}
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~ComPtr() { reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    void reset() {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    T* detach() { return std::exchange(m_p, nullptr); }
    // For out parameters: releases the current pointer first.
    T** put() {
        reset();
        return &m_p;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    template <class U> HRESULT queryInterface(REFIID iid, ComPtr<U>* out) const {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(iid, out->putVoid());
    }

private:
    T* m_p = nullptr;
};

} // namespace tarv::com
