#pragma once

#include "Dispatch.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace tarv::com {

// The collection object that members return for lists: Count, Item with 1-based indexes
// (dispatch id 0, the default member) and enumeration (_NewEnum, IEnumVARIANT). A collection
// is a snapshot: later changes of its source do not show in it.
class _Collection : public IDispatch {
public:
    virtual HRESULT Item(const Variant& Index, Variant* result) = 0;
    virtual HRESULT Count(int32_t* result) = 0;
    virtual HRESULT _NewEnum(IUnknown** result) = 0;

protected:
    ~_Collection() = default;
};

const InterfaceInfo& collectionInterface();

class Collection final : public DispatchObject<_Collection> {
public:
    // A new collection of strings with one reference, owned by the caller.
    static _Collection* create(const QStringList& items);
    static _Collection* create(std::vector<Variant> items);

    HRESULT Item(const Variant& Index, Variant* result) override;
    HRESULT Count(int32_t* result) override;
    HRESULT _NewEnum(IUnknown** result) override;

    // Direct access for C++ hosts.
    const std::vector<Variant>& items() const { return *m_items; }

private:
    explicit Collection(std::vector<Variant> items);
    std::shared_ptr<const std::vector<Variant>> m_items;
};

// The items of any collection object, read through its enumerator (for hosts and tools).
HRESULT collectionItems(IDispatch* collection, std::vector<Variant>* items);

} // namespace tarv::com
