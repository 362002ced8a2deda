#pragma once

#include "ComTypes.h"
#include "Interfaces.h"
#include "Variant.h"

#include <QString>

#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarv::com {

// A class is declared once, as a member table. Invoke, GetIDsOfNames, the type information,
// registration and tarv-call's help are all read from it.

enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut, PropertyPutRef };

struct ParamInfo {
    QString name;
    VarType type =
        VT_VARIANT; // VT_I2, VT_I4, VT_UI1, VT_R8, VT_BOOL, VT_BSTR, VT_VARIANT, VT_DISPATCH
    bool byRef = false;
    bool optional = false;
    Variant defaultValue; // of an optional parameter; "missing" when it has none
    QString typeName;     // an enumeration's name when the parameter is of one
};

// Calls the member on an interface pointer. args[i] holds parameter i, already of the
// parameter's type: a value for a by-value parameter, a reference (VT_BYREF) for a by-ref one.
using Invoker = HRESULT (*)(void* iface, Variant* args, Variant* result);

struct MemberInfo {
    QString name;
    DISPID dispid = 0;
    MemberKind kind = MemberKind::Method;
    std::vector<ParamInfo> params;
    VarType result = VT_VOID;
    QString resultTypeName; // e.g. "Collection"
    Invoker invoke = nullptr;
    int slot = -1; // the member's slot in the dual interface's table of functions
    // The parameter types (and by-ref flags) of the C++ function behind the slot, result
    // pointer excluded: checked against `params` by InterfaceInfo::problems().
    std::vector<std::pair<VarType, bool>> signature;
    VarType signatureResult = VT_VOID;
    bool hidden = false;

    int requiredCount() const;
};

struct TypeLibInfo;

struct InterfaceInfo {
    QString name; // "_Math"
    IID iid;
    bool dual = true; // false: a pure dispatch interface (events)
    std::vector<MemberInfo> members;
    const TypeLibInfo* typeLib = nullptr;

    // Every accessor of a member (a property has a get and a put entry).
    std::vector<const MemberInfo*> find(DISPID id) const;
    const MemberInfo* find(DISPID id, MemberKind kind) const;
    // Without regard to case; DISPID_UNKNOWN when there is no such member.
    DISPID idOfName(const QString& name) const;
    // Differences between the table and the C++ interface behind it (types, by-ref flags,
    // results, slots in table order, defaults of optional parameters); empty when they agree.
    QStringList problems() const;
};

struct ClassInfo {
    QString name; // "Math"
    CLSID clsid;
    const InterfaceInfo* defaultInterface = nullptr;
    const InterfaceInfo* eventInterface = nullptr;
    // Creates a fresh instance and queries it for riid.
    HRESULT (*create)(REFIID riid, void** ppv) = nullptr;
};

struct EnumInfo {
    QString name;
    GUID guid;
    std::vector<std::pair<QString, int32_t>> members; // in declaration order
};

struct TypeLibInfo {
    QString name; // "TarvUtility": the first part of every programmatic identifier
    GUID libid;
    uint16_t major = 1;
    uint16_t minor = 0;
    std::vector<const ClassInfo*> classes;
    std::vector<const InterfaceInfo*> eventInterfaces;
    std::vector<EnumInfo> enums;

    QString progId(const ClassInfo& c) const { return name + QLatin1Char('.') + c.name; }
    QString versionText() const { return QStringLiteral("%1.%2").arg(major).arg(minor); }
    const ClassInfo* findClass(REFCLSID clsid) const;
    // An enumeration member by name (without regard to case).
    bool enumValue(const QString& member, int32_t* value) const;
};

// ---- Building member tables from the C++ dual interfaces -------------------------------------

namespace detail {

template <class T> struct ArgTraits; // C++ parameter type -> automation type

template <class T> struct ValueTraits { static constexpr bool supported = false; };
#define TARV_COM_VALUE(Type, Vt, Getter)                                                           \
    template <> struct ValueTraits<Type> {                                                         \
        static constexpr bool supported = true;                                                    \
        static constexpr VarType vt = Vt;                                                          \
        static Type get(const Variant& v) { return v.Getter(); }                                   \
    };
TARV_COM_VALUE(int16_t, VT_I2, toI2)
TARV_COM_VALUE(int32_t, VT_I4, toI4)
TARV_COM_VALUE(uint8_t, VT_UI1, toUI1)
TARV_COM_VALUE(double, VT_R8, toR8)
TARV_COM_VALUE(VARIANT_BOOL, VT_BOOL, toVariantBool)
TARV_COM_VALUE(QString, VT_BSTR, toStr)
TARV_COM_VALUE(IDispatch*, VT_DISPATCH, toDispatch)
#undef TARV_COM_VALUE

// Enumerations cross as Long.
template <class T>
constexpr bool isEnum32 = std::is_enum_v<T> && sizeof(T) == 4 && !std::is_same_v<T, VARIANT_BOOL>;

template <class T> struct ArgTraits {
    // By value: plain types and enumerations.
    static constexpr bool byRef = false;
    static constexpr VarType typeOf() {
        if constexpr (isEnum32<T>)
            return VT_I4;
        else
            return ValueTraits<T>::vt;
    }
    static constexpr VarType vt = typeOf();
    static T get(const Variant& v) {
        if constexpr (isEnum32<T>)
            return T(v.toI4());
        else
            return ValueTraits<T>::get(v);
    }
};
template <> struct ArgTraits<const QString&> {
    static constexpr bool byRef = false;
    static constexpr VarType vt = VT_BSTR;
    static const QString& get(const Variant& v) { return v.strRef(); }
};
template <> struct ArgTraits<const Variant&> {
    static constexpr bool byRef = false;
    static constexpr VarType vt = VT_VARIANT;
    static const Variant& get(const Variant& v) { return v; }
};
template <> struct ArgTraits<IDispatch*> {
    static constexpr bool byRef = false;
    static constexpr VarType vt = VT_DISPATCH;
    static IDispatch* get(const Variant& v) { return v.toDispatch(); }
};
template <> struct ArgTraits<IUnknown*> {
    static constexpr bool byRef = false;
    static constexpr VarType vt = VT_UNKNOWN;
    static IUnknown* get(const Variant& v) { return v.toUnknown(); }
};
template <class T> struct ArgTraits<T*> {
    // By reference: the prepared variant points at storage of exactly this type.
    static constexpr bool byRef = true;
    static constexpr VarType typeOf() {
        if constexpr (std::is_same_v<T, Variant>)
            return VT_VARIANT;
        else if constexpr (isEnum32<T>)
            return VT_I4;
        else if constexpr (std::is_same_v<T, IUnknown*>)
            return VT_UNKNOWN;
        else
            return ValueTraits<T>::vt;
    }
    static constexpr VarType vt = typeOf();
    static T* get(const Variant& v) { return static_cast<T*>(v.refPointer()); }
};

// Results: the storage passed as the last argument, and the variant made of it.
template <class T> Variant resultVariant(T&& value) {
    using U = std::decay_t<T>;
    if constexpr (std::is_same_v<U, IDispatch*>)
        return Variant::adopt(value);
    else if constexpr (std::is_same_v<U, IUnknown*>) {
        Variant v(value);
        if (value)
            value->Release();
        return v;
    } else if constexpr (std::is_same_v<U, Variant>)
        return std::move(value);
    else if constexpr (isEnum32<U>)
        return Variant(int32_t(value));
    else
        return Variant(value);
}

template <class T> void releaseResult(T& value) {
    if constexpr (std::is_same_v<T, IDispatch*> || std::is_same_v<T, IUnknown*>) {
        if (value)
            value->Release();
    }
}

// The slot of a virtual member function in its class's table of functions (Itanium C++ ABI:
// the pointer holds 1 + the byte offset of the slot).
template <class P> int slotOf(P pmf) {
    static_assert(sizeof(P) == 2 * sizeof(ptrdiff_t));
    ptrdiff_t raw[2];
    std::memcpy(raw, &pmf, sizeof raw);
    if ((raw[0] & 1) == 0)
        return -1; // not virtual
    return int((raw[0] - 1) / ptrdiff_t(sizeof(void*)));
}

template <auto P, bool HasResult> struct InvokerFor;

template <class I, class... A, HRESULT (I::*P)(A...), bool HasResult>
struct InvokerFor<P, HasResult> {
    static constexpr size_t kArgs = HasResult ? sizeof...(A) - 1 : sizeof...(A);
    template <size_t N, class Arg, class R> static Arg pick(Variant* args, R* out) {
        if constexpr (HasResult && N == sizeof...(A) - 1)
            return out;
        else
            return ArgTraits<Arg>::get(args[N]);
    }

    template <size_t... N>
    static HRESULT call(I* self, Variant* args, Variant* result, std::index_sequence<N...>) {
        if constexpr (HasResult) {
            using R =
                std::remove_pointer_t<std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>>;
            R out{};
            const HRESULT hr = (self->*P)(pick<N, A>(args, &out)...);
            if (SUCCEEDED(hr) && result)
                *result = resultVariant(std::move(out));
            else
                releaseResult(out);
            return hr;
        } else {
            int* none = nullptr;
            return (self->*P)(pick<N, A>(args, none)...);
        }
    }

    static HRESULT invoke(void* iface, Variant* args, Variant* result) {
        return call(static_cast<I*>(iface), args, result, std::index_sequence_for<A...>{});
    }

    static void describe(MemberInfo& m) {
        m.invoke = &invoke;
        m.slot = slotOf(P);
        m.signature.clear();
        describeArgs(m, std::index_sequence_for<A...>{});
    }
    template <size_t... N> static void describeArgs(MemberInfo& m, std::index_sequence<N...>) {
        (describeOne<N, A>(m), ...);
    }
    template <size_t N, class Arg> static void describeOne(MemberInfo& m) {
        if constexpr (HasResult && N == sizeof...(A) - 1)
            m.signatureResult = ArgTraits<Arg>::vt;
        else
            m.signature.emplace_back(ArgTraits<Arg>::vt, ArgTraits<Arg>::byRef);
    }
};

} // namespace detail

// Parameter declarations for member tables.
inline ParamInfo byVal(const char* name, VarType type) {
    return {QString::fromUtf8(name), type, false, false, Variant::missing(), {}};
}
inline ParamInfo byRef(const char* name, VarType type) {
    return {QString::fromUtf8(name), type, true, false, Variant::missing(), {}};
}
inline ParamInfo optional(ParamInfo p, Variant defaultValue, const char* typeName = nullptr) {
    p.optional = true;
    p.defaultValue = std::move(defaultValue);
    if (typeName)
        p.typeName = QString::fromUtf8(typeName);
    return p;
}
inline ParamInfo ofEnum(ParamInfo p, const char* typeName) {
    p.typeName = QString::fromUtf8(typeName);
    return p;
}

namespace detail {
// A member called through the slot of P, described from P's C++ signature.
template <auto P, bool HasResult>
MemberInfo slotMember(const char* name, DISPID id, MemberKind kind, std::vector<ParamInfo> params,
                      VarType result = VT_VOID) {
    MemberInfo m;
    m.name = QString::fromUtf8(name);
    m.dispid = id;
    m.kind = kind;
    m.params = std::move(params);
    m.result = result;
    InvokerFor<P, HasResult>::describe(m);
    return m;
}
} // namespace detail

// A method without result.
template <auto P> MemberInfo method(const char* name, DISPID id, std::vector<ParamInfo> params) {
    return detail::slotMember<P, false>(name, id, MemberKind::Method, std::move(params));
}

// A method with a result, which the last C++ parameter receives.
template <auto P>
MemberInfo method(const char* name, DISPID id, std::vector<ParamInfo> params, VarType result) {
    return detail::slotMember<P, true>(name, id, MemberKind::Method, std::move(params), result);
}

template <auto P>
MemberInfo propertyGet(const char* name, DISPID id, VarType type,
                       std::vector<ParamInfo> params = {}) {
    return detail::slotMember<P, true>(name, id, MemberKind::PropertyGet, std::move(params), type);
}

// A property put (or put by reference): the value is the last parameter.
template <auto P>
MemberInfo propertyPut(const char* name, DISPID id, VarType type, bool byReference = false) {
    return detail::slotMember<P, false>(
        name, id, byReference ? MemberKind::PropertyPutRef : MemberKind::PropertyPut,
        {byVal("RHS", type)});
}

// A member of a pure dispatch (event) interface: described, never called through a slot.
MemberInfo eventMember(const char* name, DISPID id, std::vector<ParamInfo> params);

inline MemberInfo withResultType(MemberInfo m, const char* typeName) {
    m.resultTypeName = QString::fromUtf8(typeName);
    return m;
}
inline MemberInfo hidden(MemberInfo m) {
    m.hidden = true;
    return m;
}

} // namespace tarv::com
