#pragma once

#include "ComTypes.h"

#include <QString>

#include <utility>

namespace tarv::com {

class IDispatch;
class IUnknown;

// The automation variant: empty, Null, Integer (16-bit), Long (32-bit), Byte, Double, string,
// Boolean (-1/0), object (IDispatch or IUnknown, reference counted), error codes (an omitted
// optional argument is the error DISP_E_PARAMNOTFOUND), and references to any of these or to
// another variant (VT_BYREF), through which a member writes its caller's storage.
class Variant {
public:
    Variant() = default;
    explicit Variant(int16_t v) : m_vt(VT_I2) { m_u.i2 = v; }
    explicit Variant(int32_t v) : m_vt(VT_I4) { m_u.i4 = v; }
    explicit Variant(uint8_t v) : m_vt(VT_UI1) { m_u.ui1 = v; }
    explicit Variant(double v) : m_vt(VT_R8) { m_u.r8 = v; }
    explicit Variant(bool v) : m_vt(VT_BOOL) { m_u.boolVal = com::toVariantBool(v); }
    explicit Variant(VARIANT_BOOL v) : m_vt(VT_BOOL) {
        m_u.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    explicit Variant(const QString& s) : m_vt(VT_BSTR), m_str(s) {}
    explicit Variant(const char* s) : m_vt(VT_BSTR), m_str(QString::fromUtf8(s)) {}
    // Takes a new reference to the object (a null pointer is the object Nothing).
    explicit Variant(IDispatch* object);
    explicit Variant(IUnknown* object);

    static Variant null();
    static Variant error(HRESULT code);
    // The marker of an optional argument left out.
    static Variant missing() { return error(DISP_E_PARAMNOTFOUND); }
    // Takes over a reference the caller owns (an object returned through an out parameter).
    static Variant adopt(IDispatch* object);

    // References: the variant points at the caller's storage.
    static Variant byRef(int16_t* p) { return ref(VT_I2, p); }
    static Variant byRef(int32_t* p) { return ref(VT_I4, p); }
    static Variant byRef(uint8_t* p) { return ref(VT_UI1, p); }
    static Variant byRef(double* p) { return ref(VT_R8, p); }
    static Variant byRef(VARIANT_BOOL* p) { return ref(VT_BOOL, p); }
    static Variant byRef(QString* p) { return ref(VT_BSTR, p); }
    static Variant byRef(IDispatch** p) { return ref(VT_DISPATCH, p); }
    static Variant byRef(Variant* p) { return ref(VT_VARIANT, p); }

    Variant(const Variant& other);
    // Moves and destruction are inline: dispatch makes and drops several variants per call, and
    // only objects need more than a few stores.
    Variant(Variant&& other) noexcept
        : m_vt(other.m_vt), m_u(other.m_u), m_str(std::move(other.m_str)) {
        other.m_vt = VT_EMPTY;
        other.m_u.ref = nullptr;
    }
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            releaseObject();
            m_vt = other.m_vt;
            m_u = other.m_u;
            other.m_vt = VT_EMPTY;
            other.m_u.ref = nullptr;
            m_str.swap(other.m_str);
            other.m_str = QString();
        }
        return *this;
    }
    ~Variant() { releaseObject(); }

    uint16_t vt() const { return m_vt; }
    VarType type() const { return VarType(m_vt & VT_TYPEMASK); }
    bool isByRef() const { return (m_vt & VT_BYREF) != 0; }
    bool isEmpty() const { return m_vt == VT_EMPTY; }
    bool isNull() const { return m_vt == VT_NULL; }
    bool isMissing() const { return m_vt == VT_ERROR && m_u.scode == DISP_E_PARAMNOTFOUND; }

    // Values of a variant that is not a reference (checked by type; a wrong type gives 0/"").
    int16_t toI2() const { return m_vt == VT_I2 ? m_u.i2 : 0; }
    int32_t toI4() const { return m_vt == VT_I4 ? m_u.i4 : 0; }
    uint8_t toUI1() const { return m_vt == VT_UI1 ? m_u.ui1 : 0; }
    double toR8() const { return m_vt == VT_R8 ? m_u.r8 : 0.0; }
    bool toBool() const { return m_vt == VT_BOOL && m_u.boolVal != 0; }
    VARIANT_BOOL toVariantBool() const { return m_vt == VT_BOOL ? m_u.boolVal : VARIANT_FALSE; }
    QString toStr() const { return m_vt == VT_BSTR ? m_str : QString(); }
    // The string of a VT_BSTR variant, without a copy (empty for other types).
    const QString& strRef() const { return m_str; }
    HRESULT toError() const { return m_vt == VT_ERROR ? m_u.scode : S_OK; }
    IDispatch* toDispatch() const { return m_vt == VT_DISPATCH ? m_u.disp : nullptr; }
    IUnknown* toUnknown() const;

    // The storage a reference points at.
    void* refPointer() const { return isByRef() ? m_u.ref : nullptr; }
    // A reference's target as a value (a reference to a variant gives that variant, itself
    // dereferenced); a value gives a copy of itself.
    Variant dereferenced() const;
    // Writes a value through a reference of the same type (for a reference to a variant the
    // value is stored as it is). False when this is not a reference or the type differs.
    bool assignThrough(const Variant& value) const;

    // Same type and value (objects by identity). References compare by their targets.
    friend bool operator==(const Variant& a, const Variant& b);
    friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

    // For diagnostics and test messages: "VT_I2 5", "VT_BSTR \"x\"".
    QString debugText() const;
    static QString typeName(uint16_t vt);

private:
    static Variant ref(VarType t, void* p) {
        Variant v;
        v.m_vt = uint16_t(VT_BYREF | t);
        v.m_u.ref = p;
        return v;
    }
    // Releases a held object (the string goes with the variant or its next assignment).
    void releaseObject() {
        if (m_vt == VT_DISPATCH || m_vt == VT_UNKNOWN)
            releaseObjectSlow();
    }
    void releaseObjectSlow();
    void copyFrom(const Variant& other);

    uint16_t m_vt = VT_EMPTY;
    union {
        int16_t i2;
        int32_t i4;
        uint8_t ui1;
        double r8;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        IDispatch* disp;
        IUnknown* unk;
        void* ref;
    } m_u{};
    QString m_str;
};

} // namespace tarv::com
