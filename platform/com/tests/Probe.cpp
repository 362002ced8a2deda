#include "Probe.h"

#include "Conversions.h"
#include "Module.h"

#include <stdexcept>

namespace tarv::probe {

Probe::Probe()
    : DispatchObject(interfaceInfo(), QStringLiteral("TarvProbe.Probe")),
      m_events(static_cast<_Probe*>(this), eventInterface()) {}

Probe::~Probe() {
    if (m_item)
        m_item->Release();
}

const InterfaceInfo& Probe::interfaceInfo() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Probe");
        i.iid = IID__Probe;
        i.members = {
            propertyGet<&_Probe::get_Value>("Value", 0x40030000, VT_R8),
            propertyPut<&_Probe::put_Value>("Value", 0x40030000, VT_R8),
            propertyGet<&_Probe::get_Item>("Item", 0x40030001, VT_DISPATCH),
            propertyPut<&_Probe::putref_Item>("Item", 0x40030001, VT_DISPATCH, true),
            method<&_Probe::Twice>(
                "Twice", 0x60030000,
                {byRef("n", VT_I2), optional(byVal("factor", VT_I2), Variant(int16_t(2)))}, VT_I4),
            method<&_Probe::Join>(
                "Join", 0x60030001,
                {byVal("a", VT_BSTR), optional(byRef("b", VT_BSTR), Variant("B")),
                 optional(byRef("c", VT_VARIANT), Variant(int32_t(7))),
                 optional(byRef("colore", VT_I4), Variant(int32_t(Verde)), "Colore")},
                VT_BSTR),
            method<&_Probe::Stringify>("Stringify", 0x60030002, {byRef("v", VT_VARIANT)}),
            method<&_Probe::Flag>("Flag", 0x60030003, {byVal("flag", VT_BOOL)}, VT_UI1),
            method<&_Probe::Fail>("Fail", 0x60030004, {byVal("number", VT_I4)}),
            method<&_Probe::Throw>("Throw", 0x60030005, {}),
            method<&_Probe::Fire>("Fire", 0x60030006, {byRef("cancel", VT_I2)}),
        };
        return i;
    }();
    return info;
}

const InterfaceInfo& Probe::eventInterface() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("__Probe");
        i.iid = DIID___Probe;
        i.dual = false;
        i.members = {eventMember("Ping", 1, {byRef("Cancel", VT_I2)})};
        return i;
    }();
    return info;
}

const ClassInfo& Probe::classInfo() {
    static const ClassInfo info{QStringLiteral("Probe"), CLSID_Probe, &interfaceInfo(),
                                &eventInterface(), &createAndQuery<Probe>};
    return info;
}

const TypeLibInfo& probeTypeLibrary() {
    static const TypeLibInfo lib = [] {
        TypeLibInfo l;
        l.name = QStringLiteral("TarvProbe");
        l.libid = LIBID_Probe;
        l.major = 1;
        l.minor = 0;
        l.classes = {&Probe::classInfo()};
        l.eventInterfaces = {&Probe::eventInterface()};
        l.enums = {{QStringLiteral("Colore"),
                    makeGuid("{5A1E0C3B-2F4D-4E6A-9B7C-1D2E3F405166}"),
                    {{QStringLiteral("Rosso"), Rosso}, {QStringLiteral("Verde"), Verde}}}};
        return l;
    }();
    static const bool linked = [] {
        const_cast<InterfaceInfo&>(Probe::interfaceInfo()).typeLib = &lib;
        return true;
    }();
    (void)linked;
    return lib;
}

HRESULT Probe::queryOther(REFIID riid, void** ppv) {
    if (riid == IID_IConnectionPointContainer) {
        *ppv = static_cast<IConnectionPointContainer*>(&m_events);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT Probe::get_Value(double* result) {
    *result = m_value;
    return S_OK;
}

HRESULT Probe::put_Value(double value) {
    m_value = value;
    return S_OK;
}

HRESULT Probe::get_Item(IDispatch** result) {
    *result = m_item;
    if (m_item)
        m_item->AddRef();
    return S_OK;
}

HRESULT Probe::putref_Item(IDispatch* value) {
    if (value)
        value->AddRef();
    if (m_item)
        m_item->Release();
    m_item = value;
    return S_OK;
}

HRESULT Probe::Twice(int16_t* n, int16_t factor, int32_t* result) {
    const int32_t v = int32_t(*n) * factor;
    if (v < -32768 || v > 32767)
        return raise(controlError(6));
    *n = int16_t(v);
    *result = v;
    return S_OK;
}

HRESULT Probe::Join(const QString& a, QString* b, Variant* c, Colore* colore, QString* result) {
    QString ct;
    if (!toText(*c, &ct))
        ct = QStringLiteral("?");
    *result = QStringList{a, *b, ct, QString::number(*colore)}.join(QLatin1Char('|'));
    return S_OK;
}

HRESULT Probe::Stringify(Variant* v) {
    QString t;
    if (!toText(*v, &t))
        return raise(controlError(13));
    *v = Variant(t);
    return S_OK;
}

HRESULT Probe::Flag(VARIANT_BOOL flag, uint8_t* result) {
    *result = flag ? 1 : 0;
    return S_OK;
}

HRESULT Probe::Fail(int32_t number) {
    return raise(controlError(number), QStringLiteral("Errore di prova %1").arg(number));
}

HRESULT Probe::Throw() {
    throw std::runtime_error("guasto");
}

HRESULT Probe::Fire(int16_t* cancel) {
    std::vector<Variant> args{Variant::byRef(cancel)};
    return m_events.point().fire(1, args);
}

} // namespace tarv::probe
