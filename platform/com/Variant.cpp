#include "Variant.h"

#include "Interfaces.h"

#include <utility>

namespace tarv::com {

Variant::Variant(IDispatch* object) : m_vt(VT_DISPATCH) {
    m_u.disp = object;
    if (object)
        object->AddRef();
}

Variant::Variant(IUnknown* object) : m_vt(VT_UNKNOWN) {
    m_u.unk = object;
    if (object)
        object->AddRef();
}

Variant Variant::null() {
    Variant v;
    v.m_vt = VT_NULL;
    return v;
}

Variant Variant::error(HRESULT code) {
    Variant v;
    v.m_vt = VT_ERROR;
    v.m_u.scode = code;
    return v;
}

Variant Variant::adopt(IDispatch* object) {
    Variant v;
    v.m_vt = VT_DISPATCH;
    v.m_u.disp = object;
    return v;
}

IUnknown* Variant::toUnknown() const {
    if (m_vt == VT_UNKNOWN)
        return m_u.unk;
    if (m_vt == VT_DISPATCH)
        return m_u.disp;
    return nullptr;
}

Variant::Variant(const Variant& other) {
    copyFrom(other);
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Variant::releaseObjectSlow() {
    if (m_vt == VT_DISPATCH && m_u.disp)
        m_u.disp->Release();
    else if (m_vt == VT_UNKNOWN && m_u.unk)
        m_u.unk->Release();
    m_vt = VT_EMPTY;
    m_u.ref = nullptr;
}

void Variant::copyFrom(const Variant& other) {
    m_vt = other.m_vt;
    m_u = other.m_u;
    m_str = other.m_str;
    if (m_vt == VT_DISPATCH && m_u.disp)
        m_u.disp->AddRef();
    else if (m_vt == VT_UNKNOWN && m_u.unk)
        m_u.unk->AddRef();
}

Variant Variant::dereferenced() const {
    if (!isByRef())
        return *this;
    if (!m_u.ref)
        return Variant();
    switch (type()) {
    case VT_I2:
        return Variant(*static_cast<int16_t*>(m_u.ref));
    case VT_I4:
        return Variant(*static_cast<int32_t*>(m_u.ref));
    case VT_UI1:
        return Variant(*static_cast<uint8_t*>(m_u.ref));
    case VT_R8:
        return Variant(*static_cast<double*>(m_u.ref));
    case VT_BOOL:
        return Variant(*static_cast<VARIANT_BOOL*>(m_u.ref));
    case VT_BSTR:
        return Variant(*static_cast<QString*>(m_u.ref));
    case VT_DISPATCH:
        return Variant(*static_cast<IDispatch**>(m_u.ref));
    case VT_VARIANT:
        return static_cast<Variant*>(m_u.ref)->dereferenced();
    default:
        return Variant();
    }
}

bool Variant::assignThrough(const Variant& value) const {
    if (!isByRef() || !m_u.ref)
        return false;
    if (type() == VT_VARIANT) {
        Variant* target = static_cast<Variant*>(m_u.ref);
        if (target->isByRef())
            return target->assignThrough(value);
        *target = value.dereferenced();
        return true;
    }
    const Variant v = value.dereferenced();
    if (v.m_vt != type())
        return false;
    switch (type()) {
    case VT_I2:
        *static_cast<int16_t*>(m_u.ref) = v.m_u.i2;
        return true;
    case VT_I4:
        *static_cast<int32_t*>(m_u.ref) = v.m_u.i4;
        return true;
    case VT_UI1:
        *static_cast<uint8_t*>(m_u.ref) = v.m_u.ui1;
        return true;
    case VT_R8:
        *static_cast<double*>(m_u.ref) = v.m_u.r8;
        return true;
    case VT_BOOL:
        *static_cast<VARIANT_BOOL*>(m_u.ref) = v.m_u.boolVal;
        return true;
    case VT_BSTR:
        *static_cast<QString*>(m_u.ref) = v.m_str;
        return true;
    case VT_DISPATCH: {
        IDispatch** slot = static_cast<IDispatch**>(m_u.ref);
        if (v.m_u.disp)
            v.m_u.disp->AddRef();
        if (*slot)
            (*slot)->Release();
        *slot = v.m_u.disp;
        return true;
    }
    default:
        return false;
    }
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.isByRef() || b.isByRef())
        return a.dereferenced() == b.dereferenced();
    if (a.m_vt != b.m_vt)
        return false;
    switch (a.m_vt) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I2:
        return a.m_u.i2 == b.m_u.i2;
    case VT_I4:
        return a.m_u.i4 == b.m_u.i4;
    case VT_UI1:
        return a.m_u.ui1 == b.m_u.ui1;
    case VT_R8:
        return a.m_u.r8 == b.m_u.r8;
    case VT_BOOL:
        return a.m_u.boolVal == b.m_u.boolVal;
    case VT_ERROR:
        return a.m_u.scode == b.m_u.scode;
    case VT_BSTR:
        return a.m_str == b.m_str;
    case VT_DISPATCH:
        return a.m_u.disp == b.m_u.disp;
    case VT_UNKNOWN:
        return a.m_u.unk == b.m_u.unk;
    default:
        return false;
    }
}

QString Variant::typeName(uint16_t vt) {
    QString base;
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY:
        base = QStringLiteral("Empty");
        break;
    case VT_NULL:
        base = QStringLiteral("Null");
        break;
    case VT_I2:
        base = QStringLiteral("Integer");
        break;
    case VT_I4:
        base = QStringLiteral("Long");
        break;
    case VT_UI1:
        base = QStringLiteral("Byte");
        break;
    case VT_R8:
        base = QStringLiteral("Double");
        break;
    case VT_BSTR:
        base = QStringLiteral("String");
        break;
    case VT_BOOL:
        base = QStringLiteral("Boolean");
        break;
    case VT_ERROR:
        base = QStringLiteral("Error");
        break;
    case VT_DISPATCH:
        base = QStringLiteral("Object");
        break;
    case VT_UNKNOWN:
        base = QStringLiteral("Unknown");
        break;
    case VT_VARIANT:
        base = QStringLiteral("Variant");
        break;
    case VT_VOID:
        base = QStringLiteral("Void");
        break;
    default:
        base = QStringLiteral("VarType %1").arg(vt & VT_TYPEMASK);
        break;
    }
    return (vt & VT_BYREF) ? QStringLiteral("ByRef ") + base : base;
}

QString Variant::debugText() const {
    const Variant v = dereferenced();
    QString value;
    switch (v.m_vt) {
    case VT_I2:
        value = QString::number(v.m_u.i2);
        break;
    case VT_I4:
        value = QString::number(v.m_u.i4);
        break;
    case VT_UI1:
        value = QString::number(v.m_u.ui1);
        break;
    case VT_R8:
        value = QString::number(v.m_u.r8, 'g', 17);
        break;
    case VT_BOOL:
        value = v.m_u.boolVal ? QStringLiteral("True") : QStringLiteral("False");
        break;
    case VT_BSTR:
        value = QLatin1Char('"') + v.m_str + QLatin1Char('"');
        break;
    case VT_ERROR:
        value = QStringLiteral("0x%1").arg(uint32_t(v.m_u.scode), 8, 16, QLatin1Char('0'));
        break;
    default:
        break;
    }
    const QString t = typeName(m_vt);
    return value.isEmpty() ? t : t + QLatin1Char(' ') + value;
}

} // namespace tarv::com
