#pragma once

#include <QString>

#include <cstdint>
#include <cstring>
#include <functional>

namespace tarv::com {

using HRESULT = int32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using ULONG = uint32_t;
// Boolean of automation: True is -1, False is 0. A type of its own (not int16_t) so that member
// signatures tell a Boolean from an Integer.
enum VARIANT_BOOL : int16_t { VARIANT_FALSE = 0, VARIANT_TRUE = -1 };
constexpr VARIANT_BOOL toVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr HRESULT hresult(uint32_t code) {
    return HRESULT(code);
}

// The standard result codes, with their platform values.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
constexpr HRESULT E_POINTER = hresult(0x80004003);
constexpr HRESULT E_ABORT = hresult(0x80004004);
constexpr HRESULT E_FAIL = hresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = hresult(0x80070057);

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresult(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresult(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = hresult(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = hresult(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = hresult(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = hresult(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = hresult(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = hresult(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = hresult(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = hresult(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = hresult(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = hresult(0x8002000F);
constexpr HRESULT DISP_E_DIVBYZERO = hresult(0x80020012);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = hresult(0x8002802B);

constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = hresult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = hresult(0x800401F9);
constexpr HRESULT SELFREG_E_TYPELIB = hresult(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = hresult(0x80040201);
constexpr HRESULT CONNECT_E_NOCONNECTION = hresult(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = hresult(0x80040202);
constexpr HRESULT RPC_E_WRONG_THREAD = hresult(0x8001010E);

// Errors raised by automation members in the platform's "control" facility: the low word is
// the error number a Basic host sees (6 overflow, 13 type mismatch, ...).
constexpr HRESULT controlError(int number) {
    return hresult(0x800A0000u | uint32_t(number & 0xFFFF));
}

// Reserved dispatch ids.
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;
// A hidden property of a class whose members end without a result even when the work they ran
// failed (a window that reports in a box and stays open): its get gives True, or fails with
// the error that ended the class's last such operation. tarv-call reads it after each method.
constexpr DISPID DISPID_ESITO = -2001;

// Invoke flags.
constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

// The variant types the automation layer carries, with the platform's numbers.
enum VarType : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_VOID = 24, // "no result" in member descriptions
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// A GUID, read and written in the registry's "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" form.
struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    // Accepts the braced form, without regard to case; false for anything else.
    static bool parse(const QString& text, GUID* out);
    QString toString() const; // upper-case hex digits, braced
    constexpr bool isNull() const { return *this == GUID(); }

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
    friend constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
    friend bool operator<(const GUID& a, const GUID& b) { return a.toString() < b.toString(); }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

namespace detail {
constexpr int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c - 'A' + 10;
}
constexpr uint32_t hexField(const char* s, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i)
        v = v * 16 + uint32_t(hexValue(s[i]));
    return v;
}
} // namespace detail

// A GUID constant from its braced text, at compile time (no static initialisation order).
constexpr GUID makeGuid(const char (&t)[39]) {
    GUID g;
    g.Data1 = detail::hexField(t + 1, 8);
    g.Data2 = uint16_t(detail::hexField(t + 10, 4));
    g.Data3 = uint16_t(detail::hexField(t + 15, 4));
    const int at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = uint8_t(detail::hexField(t + at[i], 2));
    return g;
}

// The interface identifiers of the standard interfaces.
inline constexpr IID IID_NULL{};
inline constexpr IID IID_IUnknown = makeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IDispatch = makeGuid("{00020400-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = makeGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr IID IID_ITypeInfo = makeGuid("{00020401-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEnumVARIANT = makeGuid("{00020404-0000-0000-C000-000000000046}");
inline constexpr IID IID_IConnectionPoint = makeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IConnectionPointContainer =
    makeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
// The universal marshaller, proxy of every dual interface.
inline constexpr CLSID CLSID_PSOAInterface = makeGuid("{00020424-0000-0000-C000-000000000046}");

} // namespace tarv::com

template <> struct std::hash<tarv::com::GUID> {
    size_t operator()(const tarv::com::GUID& g) const noexcept {
        uint64_t a, b;
        std::memcpy(&a, &g, 8);
        std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
        return std::hash<uint64_t>()(a ^ (b * 0x9E3779B97F4A7C15ull));
    }
};
