#pragma once

// A small component used by the tests of the component layer: one class, Probe, whose
// members exercise every kind of argument, property and failure.
#include "ConnectionPoints.h"
#include "Dispatch.h"

namespace tarv::probe {

using namespace tarv::com;

inline constexpr CLSID CLSID_Probe = makeGuid("{5A1E0C3B-2F4D-4E6A-9B7C-1D2E3F405162}");
inline constexpr IID IID__Probe = makeGuid("{5A1E0C3B-2F4D-4E6A-9B7C-1D2E3F405163}");
inline constexpr IID DIID___Probe = makeGuid("{5A1E0C3B-2F4D-4E6A-9B7C-1D2E3F405164}");
inline constexpr GUID LIBID_Probe = makeGuid("{5A1E0C3B-2F4D-4E6A-9B7C-1D2E3F405165}");

enum Colore : int32_t { Rosso = 1, Verde = 2 };

class _Probe : public IDispatch {
public:
    virtual HRESULT get_Value(double* result) = 0;
    virtual HRESULT put_Value(double value) = 0;
    virtual HRESULT get_Item(IDispatch** result) = 0;
    virtual HRESULT putref_Item(IDispatch* value) = 0;
    // n = n * factor; returns the new n.
    virtual HRESULT Twice(int16_t* n, int16_t factor, int32_t* result) = 0;
    // Joins its arguments as text: "a|b|c|colore".
    virtual HRESULT Join(const QString& a, QString* b, Variant* c, Colore* colore,
                         QString* result) = 0;
    // Replaces the variant with its text.
    virtual HRESULT Stringify(Variant* v) = 0;
    virtual HRESULT Flag(VARIANT_BOOL flag, uint8_t* result) = 0;
    // Fails with a Basic error number (control facility) and a description.
    virtual HRESULT Fail(int32_t number) = 0;
    virtual HRESULT Throw() = 0;
    virtual HRESULT Fire(int16_t* cancel) = 0;

protected:
    ~_Probe() = default;
};

class Probe final : public DispatchObject<_Probe> {
public:
    Probe();
    static const InterfaceInfo& interfaceInfo();
    static const InterfaceInfo& eventInterface();
    static const ClassInfo& classInfo();

    HRESULT get_Value(double* result) override;
    HRESULT put_Value(double value) override;
    HRESULT get_Item(IDispatch** result) override;
    HRESULT putref_Item(IDispatch* value) override;
    HRESULT Twice(int16_t* n, int16_t factor, int32_t* result) override;
    HRESULT Join(const QString& a, QString* b, Variant* c, Colore* colore,
                 QString* result) override;
    HRESULT Stringify(Variant* v) override;
    HRESULT Flag(VARIANT_BOOL flag, uint8_t* result) override;
    HRESULT Fail(int32_t number) override;
    HRESULT Throw() override;
    HRESULT Fire(int16_t* cancel) override;

protected:
    HRESULT queryOther(REFIID riid, void** ppv) override;

private:
    ~Probe() override;
    ConnectionPointContainer m_events;
    double m_value = 0;
    IDispatch* m_item = nullptr;
};

const TypeLibInfo& probeTypeLibrary();

} // namespace tarv::probe
