#include "Dispatch.h"

#include "Conversions.h"

#include <memory>
#include <new>
#include <optional>

namespace tarv::com {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// Storage of one by-reference parameter of exactly the parameter's type.
struct RefStorage {
    int16_t i2 = 0;
    int32_t i4 = 0;
    uint8_t ui1 = 0;
    double r8 = 0;
    VARIANT_BOOL b = VARIANT_FALSE;
    QString s;
    IDispatch* d = nullptr;
    Variant v;

    RefStorage() = default;
    RefStorage(const RefStorage&) = delete;
    ~RefStorage() {
        if (d)
            d->Release();
    }

    // Stores a value already of type t and returns a reference to it.
    Variant bind(VarType t, const Variant& value) {
        switch (t) {
        case VT_I2:
            i2 = value.toI2();
            return Variant::byRef(&i2);
        case VT_I4:
            i4 = value.toI4();
            return Variant::byRef(&i4);
        case VT_UI1:
            ui1 = value.toUI1();
            return Variant::byRef(&ui1);
        case VT_R8:
            r8 = value.toR8();
            return Variant::byRef(&r8);
        case VT_BOOL:
            b = value.toVariantBool();
            return Variant::byRef(&b);
        case VT_BSTR:
            s = value.toStr();
            return Variant::byRef(&s);
        case VT_DISPATCH:
            d = value.toDispatch();
            if (d)
                d->AddRef();
            return Variant::byRef(&d);
        default:
            v = value;
            return Variant::byRef(&v);
        }
    }
};

// What Invoke keeps per parameter besides the prepared argument.
struct Slot {
    const Variant* arg = nullptr;
    uint32_t rgIndex = 0;   // position in rgvarg, for puArgErr
    bool writeBack = false; // a converted reference whose changed value goes back
    Variant passed;         // what the converted reference held before the call
    std::optional<RefStorage> storage;

    Variant bind(VarType t, const Variant& value) { return storage.emplace().bind(t, value); }
};

// n value-initialised objects, on the stack for the parameter counts members have: a call
// allocates nothing of its own unless a member takes more than N parameters.
template <class T, size_t N> class SmallArray {
public:
    explicit SmallArray(size_t n) : m_size(n) {
        if (n <= N) {
            m_data = reinterpret_cast<T*>(m_inline);
            std::uninitialized_value_construct_n(m_data, n);
        } else {
            m_heap.reset(new T[n]());
            m_data = m_heap.get();
        }
    }
    SmallArray(const SmallArray&) = delete;
    SmallArray& operator=(const SmallArray&) = delete;
    ~SmallArray() {
        if (!m_heap)
            std::destroy_n(m_data, m_size);
    }
    T& operator[](size_t i) { return m_data[i]; }
    T* data() { return m_data; }

private:
    alignas(T) unsigned char m_inline[N * sizeof(T)];
    std::unique_ptr<T[]> m_heap;
    T* m_data = nullptr;
    size_t m_size;
};

constexpr size_t kInlineParams = 8;

HRESULT argumentError(HRESULT hr, const ParamInfo& p, uint32_t rgIndex, uint32_t* argErr) {
    if (argErr)
        *argErr = rgIndex;
    fail(hr, QStringLiteral("%1 (argomento %2)").arg(standardDescription(hr), p.name));
    return hr;
}

HRESULT countError(HRESULT hr, const MemberInfo& m) {
    fail(hr, QStringLiteral("%1 (%2)").arg(standardDescription(hr), m.name));
    return hr;
}

const MemberInfo* chooseMember(const InterfaceInfo& info, DISPID id, uint16_t flags) {
    const MemberInfo* m = nullptr;
    if (flags & DISPATCH_PROPERTYPUTREF)
        m = info.find(id, MemberKind::PropertyPutRef);
    if (!m && (flags & DISPATCH_PROPERTYPUT))
        m = info.find(id, MemberKind::PropertyPut);
    // Hosts call functions with "method or property get" and read properties either way.
    if (!m && (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) {
        m = info.find(id, MemberKind::Method);
        if (!m)
            m = info.find(id, MemberKind::PropertyGet);
    }
    return m;
}

} // namespace

void ModuleCounts::objectCreated() {
    ++g_objects;
}
void ModuleCounts::objectDestroyed() {
    --g_objects;
}
void ModuleCounts::lock(bool on) {
    on ? ++g_locks : --g_locks;
}
bool ModuleCounts::idle() {
    return g_objects == 0 && g_locks == 0;
}

HRESULT dispatchGetIDsOfNames(const InterfaceInfo& info, const QString* names, uint32_t count,
                              DISPID* ids) {
    if (count == 0)
        return S_OK;
    if (!names || !ids)
        return E_POINTER;
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const MemberInfo* member = nullptr;
    for (const MemberInfo& m : info.members)
        if (m.name.compare(names[0], Qt::CaseInsensitive) == 0 &&
            (!member || m.params.size() > member->params.size()))
            member = &m;
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    HRESULT hr = S_OK;
    for (uint32_t i = 1; i < count; ++i) {
        for (size_t p = 0; p < member->params.size(); ++p)
            if (member->params[p].name.compare(names[i], Qt::CaseInsensitive) == 0)
                ids[i] = DISPID(p);
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT dispatchInvoke(const InterfaceInfo& info, void* iface, DISPID id, uint16_t flags,
                       DISPPARAMS* params, Variant* result, EXCEPINFO* excep, uint32_t* argErr,
                       const QString& source) {
    DISPPARAMS none;
    if (!params)
        params = &none;
    if ((params->cArgs && !params->rgvarg) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (result)
        *result = Variant();

    const MemberInfo* m = chooseMember(info, id, flags);
    if (!m) {
        fail(DISP_E_MEMBERNOTFOUND);
        return DISP_E_MEMBERNOTFOUND;
    }
    if (!m->invoke) {
        fail(DISP_E_MEMBERNOTFOUND);
        return DISP_E_MEMBERNOTFOUND;
    }
    const size_t n = m->params.size();
    SmallArray<Slot, kInlineParams> sources(n);
    const bool isPut = m->kind == MemberKind::PropertyPut || m->kind == MemberKind::PropertyPutRef;

    if (isPut) {
        // The value arrives as the named argument DISPID_PROPERTYPUT.
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return countError(DISP_E_PARAMNOTFOUND, *m);
        if (params->cArgs != 1)
            return countError(DISP_E_BADPARAMCOUNT, *m);
        sources[0].arg = &params->rgvarg[0];
    } else {
        const uint32_t positional = params->cArgs - params->cNamedArgs;
        if (positional > n)
            return countError(DISP_E_BADPARAMCOUNT, *m);
        for (uint32_t i = 0; i < positional; ++i) {
            const uint32_t at = params->cArgs - 1 - i;
            sources[i].arg = &params->rgvarg[at];
            sources[i].rgIndex = at;
        }
        for (uint32_t j = 0; j < params->cNamedArgs; ++j) {
            const DISPID p = params->rgdispidNamedArgs[j];
            if (p < 0 || size_t(p) >= n || sources[size_t(p)].arg) {
                if (argErr)
                    *argErr = j;
                return countError(DISP_E_PARAMNOTFOUND, *m);
            }
            sources[size_t(p)].arg = &params->rgvarg[j];
            sources[size_t(p)].rgIndex = j;
        }
    }

    SmallArray<Variant, kInlineParams> prepared(n);
    // Only a value the member changed goes back through a converted reference, so an argument
    // left alone keeps the caller's type.
    bool anyWriteBack = false;
    for (size_t i = 0; i < n; ++i) {
        const ParamInfo& p = m->params[i];
        const Variant* src = sources[i].arg;
        if (!src || src->isMissing()) {
            if (!p.optional)
                return src ? argumentError(DISP_E_PARAMNOTOPTIONAL, p, sources[i].rgIndex, argErr)
                           : countError(DISP_E_BADPARAMCOUNT, *m);
            Variant value;
            if (p.type == VT_VARIANT)
                value = p.defaultValue;
            else if (FAILED(changeType(p.defaultValue, p.type, &value)))
                return countError(E_UNEXPECTED, *m);
            prepared[i] = p.byRef ? sources[i].bind(p.type, value) : value;
            continue;
        }
        const bool exact = src->isByRef() && src->type() == p.type && src->refPointer();
        if (p.byRef && !isPut) {
            if (exact) {
                prepared[i] = *src; // the member writes the caller's storage directly
                continue;
            }
            // A value already of the parameter's type is bound as it is.
            Variant value;
            const Variant* bound = src;
            if (p.type == VT_VARIANT) {
                value = src->dereferenced();
                bound = &value;
            } else if (src->vt() != p.type) {
                const HRESULT hr = changeType(*src, p.type, &value);
                if (FAILED(hr))
                    return argumentError(hr, p, sources[i].rgIndex, argErr);
                bound = &value;
            }
            prepared[i] = sources[i].bind(p.type, *bound);
            if (src->isByRef()) {
                sources[i].writeBack = anyWriteBack = true;
                sources[i].passed = prepared[i].dereferenced();
            }
        } else if (p.type == VT_VARIANT) {
            prepared[i] = src->dereferenced();
        } else if (src->vt() == p.type) {
            prepared[i] = *src;
        } else {
            const HRESULT hr = changeType(*src, p.type, &prepared[i]);
            if (FAILED(hr))
                return argumentError(hr, p, sources[i].rgIndex, argErr);
        }
    }

    clearErrorInfo();
    HRESULT hr;
    try {
        hr = m->invoke(iface, prepared.data(), m->result == VT_VOID ? nullptr : result);
    } catch (const std::bad_alloc&) {
        hr = fail(E_OUTOFMEMORY, QString(), source);
    } catch (const std::exception& e) {
        hr = fail(E_UNEXPECTED,
                  QStringLiteral("%1: %2").arg(standardDescription(E_UNEXPECTED),
                                               QString::fromLocal8Bit(e.what())),
                  source);
    } catch (...) {
        hr = fail(E_UNEXPECTED, QString(), source);
    }

    if (FAILED(hr)) {
        ErrorInfo e = takeErrorInfo();
        if (e.description.isEmpty())
            e.description = standardDescription(hr);
        if (e.source.isEmpty())
            e.source = source;
        e.number = hr;
        if (excep) {
            excep->wCode = 0;
            excep->scode = hr;
            excep->bstrDescription = e.description;
            excep->bstrSource = e.source;
        }
        setErrorInfo(e);
        if (result)
            *result = Variant();
        return DISP_E_EXCEPTION;
    }

    // Values changed through by-reference parameters go back to the caller's storage, in the
    // caller's type.
    for (size_t i = 0; anyWriteBack && i < n; ++i) {
        if (!sources[i].writeBack)
            continue;
        const Variant& src = *sources[i].arg;
        const Variant value = prepared[i].dereferenced();
        if (value == sources[i].passed)
            continue;
        if (src.type() == VT_VARIANT) {
            src.assignThrough(value);
            continue;
        }
        Variant converted;
        const HRESULT wr = changeType(value, src.type(), &converted);
        if (FAILED(wr))
            return argumentError(wr, m->params[i], sources[i].rgIndex, argErr);
        src.assignThrough(converted);
    }
    return S_OK;
}

namespace {

class TypeInfo final : public ComObject<TypeInfo, ITypeInfo, IID_ITypeInfo> {
public:
    explicit TypeInfo(const InterfaceInfo& info) : m_info(info) {}
    const InterfaceInfo* GetInterfaceInfo() override { return &m_info; }
    HRESULT GetIDsOfNames(const QString* names, uint32_t count, DISPID* ids) override {
        return dispatchGetIDsOfNames(m_info, names, count, ids);
    }
    HRESULT GetNames(DISPID memid, QStringList* names) override {
        if (!names)
            return E_POINTER;
        const auto found = m_info.find(memid);
        if (found.empty())
            return TYPE_E_ELEMENTNOTFOUND;
        const MemberInfo* m = found.front();
        names->clear();
        *names << m->name;
        if (m->kind == MemberKind::Method || m->kind == MemberKind::PropertyGet)
            for (const ParamInfo& p : m->params)
                *names << p.name;
        return S_OK;
    }

private:
    const InterfaceInfo& m_info;
};

} // namespace

ITypeInfo* newTypeInfo(const InterfaceInfo& info) {
    return new TypeInfo(info);
}

} // namespace tarv::com
