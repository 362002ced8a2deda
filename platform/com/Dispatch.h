#pragma once

#include "ComObject.h"
#include "ErrorInfo.h"
#include "Interfaces.h"
#include "MemberTable.h"

#include <QString>

#include <thread>
#include <type_traits>

namespace tarv::com {

// IDispatch over a member table, for any object: GetIDsOfNames without regard to case (member
// names, then parameter names), Invoke for methods, property get, put and put by reference,
// with positional and named arguments, omitted optional arguments taking their defaults,
// conversion of every argument to its parameter's type, and by-reference arguments written
// back. A member that fails with error information makes Invoke return DISP_E_EXCEPTION with
// that number, description and source.
HRESULT dispatchGetIDsOfNames(const InterfaceInfo& info, const QString* names, uint32_t count,
                              DISPID* ids);
HRESULT dispatchInvoke(const InterfaceInfo& info, void* iface, DISPID id, uint16_t flags,
                       DISPPARAMS* params, Variant* result, EXCEPINFO* excep, uint32_t* argErr,
                       const QString& source);

// Type information over a member table (a new reference).
ITypeInfo* newTypeInfo(const InterfaceInfo& info);

// The IUnknown and IDispatch halves of an object whose default interface is I (a C++ dual
// interface). The object lives as long as it is referenced, belongs to the thread that made it
// (Invoke from another thread fails with RPC_E_WRONG_THREAD), and raises errors with its
// programmatic identifier as source.
template <class I> class DispatchObject : public ComObject<DispatchObject<I>, I, IID_IDispatch> {
    friend class ComObject<DispatchObject<I>, I, IID_IDispatch>;

public:
    DispatchObject(const InterfaceInfo& info, QString source)
        : m_info(info), m_source(std::move(source)), m_owner(std::this_thread::get_id()) {}

    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t index, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        *out = newTypeInfo(m_info);
        return S_OK;
    }
    HRESULT GetIDsOfNames(REFIID, const QString* names, uint32_t count, LCID,
                          DISPID* ids) override {
        return dispatchGetIDsOfNames(m_info, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant* result,
                   EXCEPINFO* excep, uint32_t* argErr) override {
        if (std::this_thread::get_id() != m_owner)
            return RPC_E_WRONG_THREAD;
        return dispatchInvoke(m_info, static_cast<I*>(this), id, flags, params, result, excep,
                              argErr, m_source);
    }

    const InterfaceInfo& interfaceInfo() const { return m_info; }
    const QString& source() const { return m_source; }

protected:
    ~DispatchObject() override = default;
    bool isAlso(REFIID riid) const { return riid == m_info.iid; }
    // Interfaces besides IUnknown, IDispatch and the default one.
    virtual HRESULT queryOther(REFIID, void** ppv) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Hands a value out through a member's result pointer.
    template <class T> static HRESULT give(T* out, const std::type_identity_t<T>& value) {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    // Fails the call with this object as the error's source.
    HRESULT raise(HRESULT code, const QString& description = QString()) const {
        return fail(code, description, m_source);
    }
    // A member whose behaviour this build does not provide yet.
    HRESULT notImplemented(const char* member) const {
        return fail(
            E_NOTIMPL,
            QStringLiteral(
                "Non implementato: %1.%2 non è disponibile in questa versione della libreria")
                .arg(m_info.name.mid(m_info.name.startsWith(QLatin1Char('_')) ? 1 : 0),
                     QString::fromUtf8(member)),
            m_source);
    }

private:
    const InterfaceInfo& m_info;
    QString m_source;
    std::thread::id m_owner;
};

// Creates an object of class T (constructed with args) with one reference and queries it.
template <class T, class... Args> HRESULT createAndQuery(REFIID riid, void** ppv, Args&&... args) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace tarv::com
