#include "Collection.h"
#include "ComPtr.h"
#include "DispatchCall.h"
#include "Module.h"
#include "Probe.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tarv::com;
using namespace tarv::probe;

namespace {

ComPtr<IDispatch> newProbe() {
    ComPtr<IDispatch> d;
    EXPECT_EQ(Probe::classInfo().create(IID_IDispatch, d.putVoid()), S_OK);
    return d;
}

// Invoke with the arguments right to left, as the platform passes them.
HRESULT rawInvoke(IDispatch* d, DISPID id, uint16_t flags, std::vector<Variant> leftToRight,
                  Variant* result, EXCEPINFO* ex = nullptr, uint32_t* argErr = nullptr,
                  std::vector<DISPID> named = {}) {
    std::vector<Variant> rg(leftToRight.rbegin(), leftToRight.rend());
    DISPPARAMS dp;
    dp.rgvarg = rg.data();
    dp.cArgs = uint32_t(rg.size());
    dp.rgdispidNamedArgs = named.data();
    dp.cNamedArgs = uint32_t(named.size());
    return d->Invoke(id, IID_NULL, 0, flags, &dp, result, ex, argErr);
}

TEST(MemberTable, ProbeTableAgreesWithItsInterface) {
    EXPECT_TRUE(Probe::interfaceInfo().problems().isEmpty())
        << Probe::interfaceInfo().problems().join("\n").toStdString();
}

TEST(MemberTable, MismatchesBetweenTableAndInterfaceAreReported) {
    InterfaceInfo wrong;
    wrong.name = QStringLiteral("_Wrong");
    wrong.members = {
        // Slots out of order, a by-ref flag and a type that differ from the C++ function.
        method<&_Probe::Flag>("Flag", 1, {byRef("flag", VT_BOOL)}, VT_UI1),
        method<&_Probe::Twice>("Twice", 2, {byRef("n", VT_I4), byVal("factor", VT_I2)}, VT_I4),
        method<&_Probe::Fail>("Fail", 3, {optional(byVal("number", VT_I4), Variant("x"))}),
    };
    const QStringList p = wrong.problems();
    EXPECT_TRUE(p.filter("Flag: slot").size() == 1) << p.join("\n").toStdString();
    EXPECT_TRUE(p.filter("parameter flag").size() == 1) << p.join("\n").toStdString();
    EXPECT_TRUE(p.filter("parameter n").size() == 1) << p.join("\n").toStdString();
    EXPECT_TRUE(p.filter("default of number").size() == 1) << p.join("\n").toStdString();
}

TEST(Dispatch, NamesAreFoundWithoutRegardToCase) {
    auto d = newProbe();
    const QString names[] = {QStringLiteral("JOIN"), QStringLiteral("Colore"), QStringLiteral("b")};
    DISPID ids[3];
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60030001);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(ids[2], 1);
    const QString unknown[] = {QStringLiteral("Nessuno")};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    const QString badParam[] = {QStringLiteral("twice"), QStringLiteral("zzz")};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, badParam, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 0x60030000);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST(Dispatch, ByReferenceArgumentsAreWrittenBackInTheCallersType) {
    auto d = newProbe();
    Variant result;
    // A reference of exactly the parameter's type: the member writes it directly.
    int16_t n = 21;
    ASSERT_EQ(rawInvoke(d.get(), 0x60030000, DISPATCH_METHOD, {Variant::byRef(&n)}, &result), S_OK);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(result, Variant(int32_t(42)));
    // A reference to a variant of another type: converted in, written back as the parameter's type.
    Variant v("5");
    ASSERT_EQ(rawInvoke(d.get(), 0x60030000, DISPATCH_METHOD,
                        {Variant::byRef(&v), Variant(int16_t(3))}, &result),
              S_OK);
    EXPECT_EQ(v, Variant(int16_t(15)));
    // A reference of another type: converted back to that type.
    double x = 4;
    ASSERT_EQ(rawInvoke(d.get(), 0x60030000, DISPATCH_METHOD, {Variant::byRef(&x)}, &result), S_OK);
    EXPECT_EQ(x, 8.0);
    // A value: the member changes its own copy only.
    ASSERT_EQ(rawInvoke(d.get(), 0x60030000, DISPATCH_METHOD, {Variant(int16_t(9))}, &result),
              S_OK);
    EXPECT_EQ(result, Variant(int32_t(18)));
    // A variant parameter by reference gets the caller's variant itself.
    Variant s(2.5);
    ASSERT_EQ(rawInvoke(d.get(), 0x60030002, DISPATCH_METHOD, {Variant::byRef(&s)}, nullptr), S_OK);
    EXPECT_EQ(s.type(), VT_BSTR);
}

TEST(Dispatch, OmittedOptionalArgumentsBehaveAsTheirDefaults) {
    auto d = newProbe();
    Variant omitted, explicitDefaults, trailing;
    ASSERT_EQ(rawInvoke(d.get(), 0x60030001, DISPATCH_METHOD,
                        {Variant("a"), Variant::missing(), Variant::missing(), Variant::missing()},
                        &omitted),
              S_OK);
    ASSERT_EQ(rawInvoke(d.get(), 0x60030001, DISPATCH_METHOD,
                        {Variant("a"), Variant("B"), Variant(int32_t(7)), Variant(int32_t(Verde))},
                        &explicitDefaults),
              S_OK);
    ASSERT_EQ(rawInvoke(d.get(), 0x60030001, DISPATCH_METHOD, {Variant("a")}, &trailing), S_OK);
    EXPECT_EQ(omitted, Variant("a|B|7|2"));
    EXPECT_EQ(explicitDefaults, omitted);
    EXPECT_EQ(trailing, omitted);
}

TEST(Dispatch, NamedArgumentsFillTheirParameters) {
    auto d = newProbe();
    Variant result;
    // Join("a", colore:=1): named arguments come first in rgvarg.
    std::vector<Variant> rg{Variant(int32_t(Rosso)), Variant("a")};
    DISPID named[] = {3};
    DISPPARAMS dp{rg.data(), named, 2, 1};
    ASSERT_EQ(d->Invoke(0x60030001, IID_NULL, 0, DISPATCH_METHOD, &dp, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result, Variant("a|B|7|1"));
    DISPID wrong[] = {9};
    DISPPARAMS bad{rg.data(), wrong, 2, 1};
    uint32_t argErr = 99;
    EXPECT_EQ(d->Invoke(0x60030001, IID_NULL, 0, DISPATCH_METHOD, &bad, &result, nullptr, &argErr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argErr, 0u);
}

TEST(Dispatch, WrongCountsAndTypesFailWithTheStandardErrors) {
    auto d = newProbe();
    struct Case {
        DISPID id;
        uint16_t flags;
        std::vector<Variant> args;
        HRESULT hr;
        uint32_t argErr;
    } cases[] = {
        {0x60030000, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 99},
        {0x60030000,
         DISPATCH_METHOD,
         {Variant(int16_t(1)), Variant(int16_t(1)), Variant(int16_t(1))},
         DISP_E_BADPARAMCOUNT,
         99},
        {0x60030000, DISPATCH_METHOD, {Variant::missing()}, DISP_E_PARAMNOTOPTIONAL, 0},
        {0x60030000, DISPATCH_METHOD, {Variant("abc")}, DISP_E_TYPEMISMATCH, 0},
        {0x60030000,
         DISPATCH_METHOD,
         {Variant(int16_t(1)), Variant(int32_t(70000))},
         DISP_E_OVERFLOW,
         0},
        {0x60030000, DISPATCH_METHOD, {Variant::null()}, DISP_E_TYPEMISMATCH, 0},
        {0x60030003, DISPATCH_METHOD, {Variant("forse")}, DISP_E_TYPEMISMATCH, 0},
        {0x12345, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 99},
        {0x60030000, DISPATCH_PROPERTYPUT, {Variant(int16_t(1))}, DISP_E_MEMBERNOTFOUND, 99},
    };
    for (Case& c : cases) {
        Variant result;
        uint32_t argErr = 99;
        EXPECT_EQ(rawInvoke(d.get(), c.id, c.flags, c.args, &result, nullptr, &argErr), c.hr)
            << std::hex << c.id;
        EXPECT_EQ(argErr, c.argErr) << std::hex << c.id;
        EXPECT_TRUE(result.isEmpty());
    }
    // The description names the argument.
    ErrorInfo e;
    EXPECT_EQ(call(d.get(), QStringLiteral("Twice"), {Variant("abc")}, nullptr, &e),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(e.basicNumber(), 13);
    EXPECT_EQ(e.description, QStringLiteral("Tipo non corrispondente (argomento n)"));
}

TEST(Dispatch, PropertiesGetPutAndPutByReference) {
    auto d = newProbe();
    Variant v;
    ASSERT_EQ(putProperty(d.get(), QStringLiteral("value"), Variant("2.5")),
              S_OK); // text in the test locale
    ASSERT_EQ(getProperty(d.get(), QStringLiteral("Value"), &v), S_OK);
    EXPECT_EQ(v, Variant(2.5));
    // A put without the named DISPID_PROPERTYPUT argument is refused.
    EXPECT_EQ(rawInvoke(d.get(), 0x40030000, DISPATCH_PROPERTYPUT, {Variant(1.0)}, nullptr),
              DISP_E_PARAMNOTFOUND);
    // Objects are set by reference and come back as the same object.
    auto other = newProbe();
    std::vector<Variant> args{Variant(other.get())};
    ASSERT_EQ(invokeByName(d.get(), QStringLiteral("Item"), DISPATCH_PROPERTYPUTREF, args, nullptr),
              S_OK);
    ASSERT_EQ(getProperty(d.get(), QStringLiteral("Item"), &v), S_OK);
    EXPECT_EQ(v.toDispatch(), other.get());
    // A plain put of an object property does not exist.
    EXPECT_EQ(invokeByName(d.get(), QStringLiteral("Item"), DISPATCH_PROPERTYPUT, args, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST(Dispatch, MemberFailuresCarryNumberDescriptionAndSource) {
    auto d = newProbe();
    EXCEPINFO ex;
    Variant result;
    ASSERT_EQ(rawInvoke(d.get(), 0x60030004, DISPATCH_METHOD, {Variant(int32_t(13))}, &result, &ex),
              DISP_E_EXCEPTION);
    EXPECT_EQ(ex.scode, controlError(13));
    EXPECT_EQ(ex.bstrDescription, QStringLiteral("Errore di prova 13"));
    EXPECT_EQ(ex.bstrSource, QStringLiteral("TarvProbe.Probe"));
    // A C++ exception never escapes a call.
    ErrorInfo e;
    EXPECT_EQ(call(d.get(), QStringLiteral("Throw"), {}, nullptr, &e), E_UNEXPECTED);
    EXPECT_TRUE(e.description.contains(QStringLiteral("guasto")));
    // Overflow inside a member: the Basic error 6.
    int16_t big = 20000;
    EXPECT_EQ(call(d.get(), QStringLiteral("Twice"), {Variant::byRef(&big)}, nullptr, &e),
              controlError(6));
    EXPECT_EQ(e.basicNumber(), 6);
    EXPECT_EQ(big, 20000);
}

TEST(Dispatch, CallsFromAnotherThreadAreRefused) {
    auto d = newProbe();
    HRESULT hr = S_OK;
    std::thread t(
        [&] { hr = rawInvoke(d.get(), 0x60030003, DISPATCH_METHOD, {Variant(true)}, nullptr); });
    t.join();
    EXPECT_EQ(hr, RPC_E_WRONG_THREAD);
}

TEST(Dispatch, TwoInstancesAreIndependent) {
    auto a = newProbe();
    auto b = newProbe();
    ASSERT_EQ(putProperty(a.get(), QStringLiteral("Value"), Variant(1.0)), S_OK);
    ASSERT_EQ(putProperty(b.get(), QStringLiteral("Value"), Variant(2.0)), S_OK);
    Variant va, vb;
    getProperty(a.get(), QStringLiteral("Value"), &va);
    getProperty(b.get(), QStringLiteral("Value"), &vb);
    EXPECT_EQ(va, Variant(1.0));
    EXPECT_EQ(vb, Variant(2.0));
}

TEST(Dispatch, TypeInformationComesFromTheTable) {
    auto d = newProbe();
    ComPtr<ITypeInfo> ti;
    uint32_t count = 0;
    ASSERT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(d->GetTypeInfo(0, 0, ti.put()), S_OK);
    EXPECT_EQ(ti->GetInterfaceInfo(), &Probe::interfaceInfo());
    QStringList names;
    ASSERT_EQ(ti->GetNames(0x60030001, &names), S_OK);
    EXPECT_EQ(names, QStringList({"Join", "a", "b", "c", "colore"}));
    EXPECT_EQ(ti->GetNames(77, &names), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(d->GetTypeInfo(1, 0, ti.put()), DISP_E_BADINDEX);
}

TEST(Module, CanUnloadOnlyWhenNoObjectFactoryOrLockIsHeld) {
    ASSERT_EQ(moduleCanUnloadNow(), S_OK);
    {
        auto d = newProbe();
        EXPECT_EQ(moduleCanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(moduleCanUnloadNow(), S_OK);
    ComPtr<IClassFactory> f;
    ASSERT_EQ(moduleGetClassObject(probeTypeLibrary(), CLSID_Probe, IID_IClassFactory, f.putVoid()),
              S_OK);
    EXPECT_EQ(moduleCanUnloadNow(), S_FALSE);
    ComPtr<IDispatch> a, b;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, a.putVoid()), S_OK);
    ASSERT_EQ(f->CreateInstance(nullptr, IID__Probe, b.putVoid()), S_OK);
    EXPECT_NE(static_cast<IUnknown*>(a.get()), static_cast<IUnknown*>(b.get()));
    EXPECT_EQ(f->CreateInstance(a.get(), IID_IDispatch, b.putVoid()), CLASS_E_NOAGGREGATION);
    f->LockServer(true);
    a.reset();
    b.reset();
    f.reset();
    EXPECT_EQ(moduleCanUnloadNow(), S_FALSE);
    // The lock is counted per process, not per factory object.
    ComPtr<IClassFactory> g;
    ASSERT_EQ(moduleGetClassObject(probeTypeLibrary(), CLSID_Probe, IID_IClassFactory, g.putVoid()),
              S_OK);
    g->LockServer(false);
    g.reset();
    EXPECT_EQ(moduleCanUnloadNow(), S_OK);
    EXPECT_EQ(moduleGetClassObject(probeTypeLibrary(), IID__Probe, IID_IClassFactory, g.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST(Module, StateExistsOncePerThread) {
    struct Counter {
        int n = 0;
    };
    moduleState<Counter>().n = 5;
    int seen = -1;
    Counter* there = nullptr;
    std::thread t([&] {
        there = &moduleState<Counter>();
        seen = there->n;
    });
    t.join();
    EXPECT_EQ(seen, 0);
    EXPECT_NE(there, &moduleState<Counter>());
    EXPECT_EQ(moduleState<Counter>().n, 5);
}

TEST(Collection, CountOneBasedItemsAndEnumeration) {
    ComPtr<_Collection> c =
        ComPtr<_Collection>::adopt(Collection::create(QStringList{"uno", "due"}));
    IDispatch* d = c.get();
    Variant v;
    ASSERT_EQ(call(d, QStringLiteral("Count"), {}, &v), S_OK);
    EXPECT_EQ(v, Variant(int32_t(2)));
    ASSERT_EQ(call(d, QStringLiteral("Item"), {Variant(int16_t(1))}, &v), S_OK);
    EXPECT_EQ(v, Variant("uno"));
    ASSERT_EQ(rawInvoke(d, DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant(2.0)}, &v), S_OK);
    EXPECT_EQ(v, Variant("due"));
    ErrorInfo e;
    EXPECT_EQ(call(d, QStringLiteral("Item"), {Variant(int16_t(0))}, &v, &e), controlError(9));
    EXPECT_EQ(e.basicNumber(), 9);
    EXPECT_EQ(call(d, QStringLiteral("Item"), {Variant(int16_t(3))}, &v, &e), controlError(9));
    EXPECT_EQ(call(d, QStringLiteral("Item"), {Variant("1")}, &v, &e), controlError(5));
    EXPECT_EQ(e.basicNumber(), 5);
    std::vector<Variant> items;
    ASSERT_EQ(collectionItems(d, &items), S_OK);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1], Variant("due"));
    ComPtr<_Collection> empty = ComPtr<_Collection>::adopt(Collection::create(QStringList{}));
    ASSERT_EQ(collectionItems(empty.get(), &items), S_OK);
    EXPECT_TRUE(items.empty());
}

// A sink for the probe's events: sets Cancel to 1 on every call.
class Sink final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___Probe) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const QString*, uint32_t, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS* p, Variant*, EXCEPINFO*,
                   uint32_t*) override {
        ++calls;
        lastId = id;
        if (p->cArgs == 1)
            p->rgvarg[0].assignThrough(Variant(int16_t(1)));
        return S_OK;
    }
    ULONG refs = 1;
    int calls = 0;
    DISPID lastId = 0;
};

TEST(ConnectionPoints, EventsReachConnectedSinksUntilTheyDisconnect) {
    auto d = newProbe();
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(d.queryInterface(IID_IConnectionPointContainer, &cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(IID_IDispatch, cp.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID___Probe, cp.put()), S_OK);
    Sink sink;
    uint32_t cookie = 0;
    ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
    int16_t cancel = 0;
    ASSERT_EQ(call(d.get(), QStringLiteral("Fire"), {Variant::byRef(&cancel)}), S_OK);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(sink.lastId, 1);
    EXPECT_EQ(cancel, 1);
    ASSERT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(call(d.get(), QStringLiteral("Fire"), {Variant::byRef(&cancel)}), S_OK);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(sink.refs, 1u);
}

} // namespace
