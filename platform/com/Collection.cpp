#include "Collection.h"

#include "Conversions.h"

namespace tarv::com {

const InterfaceInfo& collectionInterface() {
    static const InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Collection");
        i.iid = makeGuid("{A4C46780-499F-101B-BB78-00AA00383CBB}");
        i.members = {
            method<&_Collection::Item>("Item", DISPID_VALUE, {byVal("Index", VT_VARIANT)},
                                       VT_VARIANT),
            method<&_Collection::Count>("Count", 2, {}, VT_I4),
            hidden(method<&_Collection::_NewEnum>("_NewEnum", DISPID_NEWENUM, {}, VT_UNKNOWN)),
        };
        return i;
    }();
    return info;
}

namespace {

class EnumVariant final : public ComObject<EnumVariant, IEnumVARIANT, IID_IEnumVARIANT> {
public:
    explicit EnumVariant(std::shared_ptr<const std::vector<Variant>> items, size_t at = 0)
        : m_items(std::move(items)), m_at(at) {}
    HRESULT Next(ULONG celt, Variant* out, ULONG* fetched) override {
        if (!out && celt)
            return E_POINTER;
        ULONG got = 0;
        while (got < celt && m_at < m_items->size())
            out[got++] = (*m_items)[m_at++];
        if (fetched)
            *fetched = got;
        return got == celt ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG celt) override {
        const size_t left = m_items->size() - m_at;
        m_at += std::min<size_t>(celt, left);
        return celt <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_at = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumVARIANT** out) override {
        if (!out)
            return E_POINTER;
        *out = new EnumVariant(m_items, m_at);
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<Variant>> m_items;
    size_t m_at;
};

} // namespace

Collection::Collection(std::vector<Variant> items)
    : DispatchObject(collectionInterface(), QStringLiteral("Collection")),
      m_items(std::make_shared<const std::vector<Variant>>(std::move(items))) {}

_Collection* Collection::create(const QStringList& items) {
    std::vector<Variant> v;
    v.reserve(size_t(items.size()));
    for (const QString& s : items)
        v.emplace_back(s);
    return create(std::move(v));
}

_Collection* Collection::create(std::vector<Variant> items) {
    return new Collection(std::move(items));
}

HRESULT Collection::Item(const Variant& Index, Variant* result) {
    if (!result)
        return E_POINTER;
    // A string is a key, and these collections have none.
    Variant i;
    if (Index.dereferenced().type() == VT_BSTR || FAILED(changeType(Index, VT_I4, &i)))
        return raise(controlError(5));
    const int32_t at = i.toI4();
    if (at < 1 || size_t(at) > m_items->size())
        return raise(controlError(9));
    *result = (*m_items)[size_t(at - 1)];
    return S_OK;
}

HRESULT Collection::Count(int32_t* result) {
    return give(result, int32_t(m_items->size()));
}

HRESULT Collection::_NewEnum(IUnknown** result) {
    if (!result)
        return E_POINTER;
    *result = new EnumVariant(m_items);
    return S_OK;
}

HRESULT collectionItems(IDispatch* collection, std::vector<Variant>* items) {
    if (!collection || !items)
        return E_POINTER;
    items->clear();
    DISPPARAMS none;
    Variant e;
    HRESULT hr =
        collection->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           &none, &e, nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    IUnknown* unknown = e.toUnknown();
    if (!unknown)
        return DISP_E_TYPEMISMATCH;
    IEnumVARIANT* en = nullptr;
    hr = unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&en));
    if (FAILED(hr))
        return hr;
    Variant v;
    ULONG fetched = 0;
    while (en->Next(1, &v, &fetched) == S_OK && fetched == 1)
        items->push_back(v);
    en->Release();
    return S_OK;
}

} // namespace tarv::com
