#pragma once

#include "ComTypes.h"

#include <QString>
#include <QStringList>

namespace tarv::com {

class Variant;
struct InterfaceInfo;

// The interfaces of the component layer. Their virtual functions are in the platform's slot
// order, so that the n-th slot of a dual interface is its n-th member. The interfaces have no
// virtual destructor (it would take slots); objects are destroyed through Release.

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

class ITypeInfo;

// Arguments of IDispatch::Invoke, right to left as on the platform: rgvarg[cArgs - 1] is the
// first positional argument; the named arguments come first, with their ids in
// rgdispidNamedArgs.
struct DISPPARAMS {
    Variant* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    uint32_t cArgs = 0;
    uint32_t cNamedArgs = 0;
};

// What a failed member reported (valid when Invoke returns DISP_E_EXCEPTION).
struct EXCEPINFO {
    uint16_t wCode = 0;
    QString bstrSource;
    QString bstrDescription;
    HRESULT scode = S_OK;
};

class IDispatch : public IUnknown {
public:
    virtual HRESULT GetTypeInfoCount(uint32_t* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(uint32_t iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    // Names are matched without regard to case; names[1..] are parameter names, whose ids are
    // their 0-based positions.
    virtual HRESULT GetIDsOfNames(REFIID riid, const QString* rgszNames, uint32_t cNames, LCID lcid,
                                  DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, uint16_t wFlags,
                           DISPPARAMS* pDispParams, Variant* pVarResult, EXCEPINFO* pExcepInfo,
                           uint32_t* puArgErr) = 0;

protected:
    ~IDispatch() = default;
};

// Type information of one interface, read from its member table.
class ITypeInfo : public IUnknown {
public:
    // The description of the interface: name, identifier, members with their parameters.
    virtual const InterfaceInfo* GetInterfaceInfo() = 0;
    virtual HRESULT GetIDsOfNames(const QString* rgszNames, uint32_t cNames, DISPID* pMemId) = 0;
    // The member's name followed by its parameter names.
    virtual HRESULT GetNames(DISPID memid, QStringList* names) = 0;

protected:
    ~ITypeInfo() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT LockServer(bool fLock) = 0;

protected:
    ~IClassFactory() = default;
};

class IEnumVARIANT : public IUnknown {
public:
    virtual HRESULT Next(ULONG celt, Variant* rgVar, ULONG* pCeltFetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;

protected:
    ~IEnumVARIANT() = default;
};

class IConnectionPointContainer;

class IConnectionPoint : public IUnknown {
public:
    virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnkSink, uint32_t* pdwCookie) = 0;
    virtual HRESULT Unadvise(uint32_t dwCookie) = 0;

protected:
    ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
public:
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

} // namespace tarv::com
