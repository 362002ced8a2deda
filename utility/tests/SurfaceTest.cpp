// The library's outside shape against its documented interface: classes, identifiers, members in
// slot order, dispatch ids, argument types, by-ref flags, optional defaults, enumerations.
#include "Altro.h"
#include "CMouseWheel.h"
#include "Contabili.h"
#include "GestioneReg.h"
#include "Internet.h"
#include "Math.h"
#include "ShellMan.h"
#include "TypeLibrary.h"
#include "Zip.h"

#include "DispatchCall.h"
#include "TestWindowsDir.h"
#include "WindowHost.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tarv::com;
using namespace tarv::utility;

namespace {

struct P {
    const char* name;
    VarType type;
    bool byRef;
    bool optional = false;
    Variant def = Variant::missing();
};
struct M {
    const char* name;
    DISPID id;
    MemberKind kind;
    std::vector<P> params;
    VarType result = VT_VOID;
};

constexpr MemberKind Fn = MemberKind::Method;
constexpr MemberKind Get = MemberKind::PropertyGet;
constexpr MemberKind Let = MemberKind::PropertyPut;
constexpr MemberKind Set = MemberKind::PropertyPutRef;

Variant str(const char* s) {
    return Variant(QString::fromUtf8(s));
}

std::vector<M> property(const char* name, DISPID id, VarType t) {
    return {{name, id, Get, {}, t}, {name, id, Let, {{"RHS", t, false}}}};
}

struct ClassCase {
    const ClassInfo* cls;
    const char* name;
    const char* clsid;
    const char* iid;
    std::vector<M> members;
};

std::vector<ClassCase> expectedClasses() {
    std::vector<M> gestione;
    for (auto [n, id, t] :
         std::vector<std::tuple<const char*, DISPID, VarType>>{{"MasterKey", 0x40030000, VT_I4},
                                                               {"Key", 0x40030001, VT_BSTR},
                                                               {"NameValue", 0x40030002, VT_BSTR},
                                                               {"NameKey", 0x40030003, VT_BSTR},
                                                               {"STRValue", 0x40030004, VT_BSTR},
                                                               {"DWordValue", 0x40030005, VT_I4},
                                                               {"Tipo", 0x40030006, VT_I4}})
        for (M& m : property(n, id, t))
            gestione.push_back(m);
    const std::vector<M> methods = {
        {"REnumValue", 0x60030000, Fn, {{"lCurIdx", VT_I4, false}}, VT_BOOL},
        {"Elenca_Chiavi", 0x60030002, Fn, {}, VT_DISPATCH},
        {"Elenca_Valori", 0x60030003, Fn, {}, VT_DISPATCH},
        {"Elimina_Chiave", 0x60030004, Fn, {}, VT_BOOL},
        {"Elimina_Stringa", 0x60030005, Fn, {{"nome", VT_BSTR, true}}, VT_BOOL},
        {"Scrivi_DWORD",
         0x60030006,
         Fn,
         {{"nome", VT_BSTR, true}, {"Valore", VT_I2, true}},
         VT_BOOL},
        {"Leggi_DWORD", 0x60030007, Fn, {{"nome", VT_BSTR, true}}, VT_BSTR},
        {"Scrivi_Chiave", 0x60030008, Fn, {}, VT_BOOL},
        {"Leggi_Stringa", 0x60030009, Fn, {{"nome", VT_BSTR, true}}, VT_BSTR},
        {"Scrivi_Stringa",
         0x6003000A,
         Fn,
         {{"nome", VT_BSTR, true}, {"Valore", VT_BSTR, true}},
         VT_BOOL},
        {"Controlla_Chiave", 0x6003000B, Fn, {}, VT_BOOL},
        {"Inizializza_registro",
         0x60030017,
         Fn,
         {{"Ramo", VT_I4, true, true, Variant(int32_t(0x80000002u))},
          {"Chiave", VT_BSTR, true, true, str("")}}},
    };
    gestione.insert(gestione.end(), methods.begin(), methods.end());

    std::vector<M> zip;
    for (auto [n, id, t] : std::vector<std::tuple<const char*, DISPID, VarType>>{
             {"Sorgente", 0x40030000, VT_BSTR},
             {"Destinazione", 0x40030001, VT_BSTR},
             {"Auto_Avvio", 0x40030002, VT_BOOL},
             {"Auto_Chiusura", 0x40030003, VT_BOOL}})
        for (M& m : property(n, id, t))
            zip.push_back(m);
    zip.push_back({"Zippa", 0x60030000, Fn, {}});
    zip.push_back({"UnZippa", 0x60030001, Fn, {}});
    zip.push_back({"Esito", DISPID_ESITO, Get, {}, VT_BOOL});

    const P nomeFile{"NomeFile", VT_BSTR, true};
    return {
        {&Math::classInfo(),
         "Math",
         "{8F45067D-14AE-4C98-B2E2-3196D3FDB62E}",
         "{77912DE0-D53C-4FEF-8944-FC12A9E013AE}",
         {{"NDec", 0x60030000, Fn, {{"Numero", VT_VARIANT, true}}, VT_UI1},
          {"Intero", 0x60030001, Fn, {{"Numero", VT_VARIANT, true}}, VT_VARIANT},
          {"Round",
           0x60030002,
           Fn,
           {{"Numero", VT_R8, true}, {"Decimali", VT_I2, true}, {"Tipo", VT_UI1, true}},
           VT_R8}}},
        {&Altro::classInfo(),
         "Altro",
         "{B280B700-1811-4A1E-B05C-EC93D5645803}",
         "{1C8DECCC-0150-45BD-AEAE-4F2E848813DD}",
         {{"IsWinNT", 0x60030000, Fn, {}, VT_BOOL},
          {"Spegni_Pc",
           0x60030001,
           Fn,
           {{"Tipo", VT_I4, true, true, Variant(int32_t(1))},
            {"msg", VT_BOOL, true, true, Variant(true)}}},
          {"Invia_File",
           0x60030003,
           Fn,
           {{"FileDaInviare", VT_BSTR, true},
            {"Dest", VT_BSTR, true, true, str("")},
            {"Soggetto", VT_BSTR, true, true, str("")},
            {"Testo", VT_BSTR, true, true, str("")}}}}},
        {&CMouseWheel::classInfo(),
         "CMouseWheel",
         "{6DCACFFB-C669-44B1-A9E7-4BAFDEDA2683}",
         "{A84F9A2E-AD52-44AC-85F5-80EC933AAE63}",
         {{"Form", 0x40030000, Get, {}, VT_DISPATCH},
          {"Form", 0x40030000, Set, {{"RHS", VT_DISPATCH, false}}},
          {"MouseWheelCancel", 0x68030000, Get, {}, VT_I2},
          {"SubClassHookForm", 0x60030001, Fn, {}},
          {"SubClassUnHookForm", 0x60030002, Fn, {}},
          {"FireMouseWheel", 0x60030003, Fn, {}}}},
        {&Contabili::classInfo(),
         "Contabili",
         "{5FADF670-C6D5-4036-A6AF-6EEA3AA23D2F}",
         "{D09C0FD9-F447-46DB-B8C0-D0BE0E9B8346}",
         {{"Controlla_PI", 0x60030000, Fn, {{"PIVA", VT_BSTR, true}}, VT_BOOL},
          {"CheckCodFiscale", 0x60030001, Fn, {{"CFis", VT_BSTR, true}}, VT_BOOL}}},
        {&ShellMan::classInfo(),
         "ShellMan",
         "{D627427E-0CCF-42E0-9A22-75479E311D1C}",
         "{3B16D8EF-70E1-479C-88DF-A86F011EDF04}",
         {{"SetVar",
           0x60030000,
           Fn,
           {nomeFile,
            {"Section", VT_BSTR, true},
            {"Variable", VT_BSTR, true},
            {"value", VT_BSTR, false}}},
          {"GetVar",
           0x60030001,
           Fn,
           {nomeFile, {"Section", VT_BSTR, true}, {"Variable", VT_BSTR, true}},
           VT_BSTR},
          {"FindComputerName", 0x60030002, Fn, {}, VT_BSTR},
          {"FindCurrentUser", 0x60030003, Fn, {}, VT_BSTR},
          {"LockWindow", 0x60030004, Fn, {{"hwnd", VT_I4, true}}},
          {"UnlockWindow", 0x60030005, Fn, {}},
          {"GetDOSPathName", 0x60030006, Fn, {{"strPercorso", VT_BSTR, false}}, VT_BSTR},
          {"ResetDefaultPrinter", 0x60030007, Fn, {}},
          {"GetDefaultPrinter", 0x60030008, Fn, {}, VT_BSTR},
          {"SetDefaultPrinter", 0x60030009, Fn, {{"s", VT_BSTR, true}}},
          {"BrowseForFolder",
           0x6003000A,
           Fn,
           {{"handle", VT_I4, true}, {"strTitolo", VT_BSTR, false}},
           VT_BSTR},
          {"OpenFN",
           0x6003000B,
           Fn,
           {{"strTitoloFinestra", VT_BSTR, false, true, str("")},
            {"strPercorsoIniziale", VT_BSTR, false, true, str("")},
            {"strFiltro", VT_BSTR, false, true, str("Tutti i file|*.*")}},
           VT_BSTR},
          {"RemoveNullChars", 0x6003000C, Fn, {{"strString", VT_BSTR, false}}, VT_BSTR},
          {"SaveFN",
           0x6003000D,
           Fn,
           {{"strTitoloFinestra", VT_BSTR, false, true, str("")},
            {"strPercorsoIniziale", VT_BSTR, false, true, str("")},
            {"strFiltro", VT_BSTR, true, true, str("Tutti i file|*.*")}},
           VT_BSTR},
          {"OpenDocument", 0x6003000E, Fn, {{"hwnd", VT_I4, true}, {"strDocPath", VT_BSTR, true}}},
          {"PrintDocument", 0x6003000F, Fn, {{"hwnd", VT_I4, true}, {"strDocPath", VT_BSTR, true}}},
          {"CreaFileDiTesto",
           0x60030010,
           Fn,
           {nomeFile, {"Sovrascrivi", VT_BOOL, true, true, Variant(true)}}},
          {"DyrSistema", 0x60030011, Fn, {}, VT_BSTR},
          {"FileEsiste", 0x60030012, Fn, {{"PercorsoFile", VT_BSTR, true}}, VT_BOOL}}},
        {&Internet::classInfo(),
         "Internet",
         "{B1965915-B75D-41E6-8515-C7A131288E32}",
         "{87D1D863-1B76-4CDC-A47D-EAED4F1B6012}",
         {{"IsConnected2Internet", 0x60030000, Fn, {}, VT_BOOL},
          {"MyIP", 0x60030001, Fn, {}, VT_BSTR},
          {"Visualizza_Lista_Conn",
           0x60030006,
           Fn,
           {{"Auto", VT_BOOL, true, true, Variant(false)}}},
          {"Connetti_Pred", 0x60030007, Fn, {{"Auto", VT_BOOL, true, true, Variant(true)}}}}},
        {&GestioneReg::classInfo(), "GestioneReg", "{C68FD975-BE68-461B-A4A6-86385AFE0206}",
         "{91F1DEF9-F9D3-498C-B1A0-871FFDACFB31}", gestione},
        {&Zip::classInfo(), "Zip", "{F18B6044-4441-4DA2-ACE3-3AA00D5DE9CC}",
         "{D5891643-9780-46B6-A0A4-483C989E2BFB}", zip},
    };
}

TEST(Surface, TypeLibraryHoldsTheEightClassesInOrder) {
    const TypeLibInfo& lib = typeLibrary();
    EXPECT_EQ(lib.name, QStringLiteral("TarvUtility"));
    EXPECT_EQ(lib.libid.toString(), QStringLiteral("{37CA076D-0768-49AE-9D4A-71111D985DC2}"));
    EXPECT_EQ(lib.versionText(), QStringLiteral("7.0"));
    const auto expected = expectedClasses();
    ASSERT_EQ(lib.classes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lib.classes[i], expected[i].cls);
        EXPECT_EQ(lib.progId(*lib.classes[i]), QStringLiteral("TarvUtility.") + expected[i].name);
    }
    ASSERT_EQ(lib.eventInterfaces.size(), 1u);
    EXPECT_EQ(lib.eventInterfaces[0]->iid.toString(),
              QStringLiteral("{196C3EF7-F90D-4EBC-AF7C-6D54D0AD8F5C}"));
    EXPECT_EQ(CMouseWheel::classInfo().eventInterface, lib.eventInterfaces[0]);
    const auto& ev = lib.eventInterfaces[0]->members;
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].name, QStringLiteral("MouseWheel"));
    EXPECT_EQ(ev[0].dispid, 1);
    ASSERT_EQ(ev[0].params.size(), 1u);
    EXPECT_EQ(ev[0].params[0].type, VT_I2);
    EXPECT_TRUE(ev[0].params[0].byRef);
}

TEST(Surface, EnumerationsInTheirDeclaredOrder) {
    const auto& enums = typeLibrary().enums;
    ASSERT_EQ(enums.size(), 2u);
    EXPECT_EQ(enums[0].name, QStringLiteral("Tipo_Speg"));
    EXPECT_EQ(enums[0].guid.toString(), QStringLiteral("{8E4EE10F-75D5-411C-A4F0-2BF0E1C294F2}"));
    const std::vector<std::pair<QString, int32_t>> speg{
        {"Disconnetti", 0}, {"Forza", 4}, {"Riavvia", 2}, {"spegni", 1}, {"Spegni1", 8}};
    EXPECT_EQ(enums[0].members, speg);
    EXPECT_EQ(enums[1].name, QStringLiteral("TipiDiRami"));
    EXPECT_EQ(enums[1].guid.toString(), QStringLiteral("{674C3978-AE81-498D-B4D6-E60D6B9684FB}"));
    const std::vector<std::pair<QString, int32_t>> rami{{"CLASSES_ROOT", int32_t(0x80000000u)},
                                                        {"CURRENT_USER", int32_t(0x80000001u)},
                                                        {"LOCAL_MACHINE", int32_t(0x80000002u)},
                                                        {"USERS", int32_t(0x80000003u)}};
    EXPECT_EQ(enums[1].members, rami);
}

TEST(Surface, EveryClassMatchesItsTableInSlotOrder) {
    for (const ClassCase& c : expectedClasses()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.cls->name, QString::fromLatin1(c.name));
        EXPECT_EQ(c.cls->clsid.toString(), QString::fromLatin1(c.clsid));
        const InterfaceInfo& info = *c.cls->defaultInterface;
        EXPECT_EQ(info.name, QStringLiteral("_") + c.name);
        EXPECT_EQ(info.iid.toString(), QString::fromLatin1(c.iid));
        EXPECT_TRUE(info.dual);
        // The table agrees with the C++ interface: types, by-ref flags, results, and slots
        // 7, 8, 9, ... in the table's order.
        EXPECT_TRUE(info.problems().isEmpty()) << info.problems().join("\n").toStdString();
        ASSERT_EQ(info.members.size(), c.members.size());
        for (size_t i = 0; i < c.members.size(); ++i) {
            const M& e = c.members[i];
            const MemberInfo& m = info.members[i];
            SCOPED_TRACE(e.name);
            EXPECT_EQ(m.name, QString::fromLatin1(e.name));
            EXPECT_EQ(m.dispid, e.id);
            EXPECT_EQ(m.kind, e.kind);
            EXPECT_EQ(m.slot, int(7 + i));
            EXPECT_EQ(m.result, e.result);
            ASSERT_EQ(m.params.size(), e.params.size());
            for (size_t k = 0; k < e.params.size(); ++k) {
                if (e.kind == Fn)
                    EXPECT_EQ(m.params[k].name, QString::fromLatin1(e.params[k].name));
                EXPECT_EQ(m.params[k].type, e.params[k].type) << e.params[k].name;
                EXPECT_EQ(m.params[k].byRef, e.params[k].byRef) << e.params[k].name;
                EXPECT_EQ(m.params[k].optional, e.params[k].optional) << e.params[k].name;
                if (e.params[k].optional)
                    EXPECT_EQ(m.params[k].defaultValue, e.params[k].def) << e.params[k].name;
            }
        }
    }
}

// Arguments of the right types for a member's required parameters.
std::vector<Variant> sampleArguments(const MemberInfo& m) {
    std::vector<Variant> args;
    for (const ParamInfo& p : m.params) {
        if (p.optional)
            break;
        switch (p.type) {
        case VT_BSTR:
            args.emplace_back("x");
            break;
        case VT_BOOL:
            args.emplace_back(true);
            break;
        case VT_R8:
            args.emplace_back(1.5);
            break;
        default:
            args.emplace_back(int16_t(1));
            break;
        }
    }
    return args;
}

// Members that make files by a bare name make them in the current directory: the test's own.
class SurfaceTest : public tarv::WindowsDirTest {
protected:
    void SetUp() override {
        m_cwd = QDir::currentPath();
        QDir::setCurrent(win.path());
    }
    void TearDown() override { QDir::setCurrent(m_cwd); }
    QString m_cwd;
};

// Without the library's windows (a build or host without them) the members that open one fail
// as every member that needs a window does where none can be shown.
TEST_F(SurfaceTest, WindowMembersWithoutWindowsSaySo) {
    const struct Case {
        const ClassInfo* c;
        const char* member;
    } cases[] = {{&Zip::classInfo(), "Zippa"},
                 {&Zip::classInfo(), "UnZippa"},
                 {&Internet::classInfo(), "Visualizza_Lista_Conn"},
                 {&Internet::classInfo(), "Connetti_Pred"}};
    for (const Case& k : cases) {
        ComPtr<IDispatch> d;
        ASSERT_EQ(k.c->create(IID_IDispatch, d.putVoid()), S_OK);
        ErrorInfo e;
        EXPECT_EQ(call(d.get(), QString::fromLatin1(k.member), {}, nullptr, &e), controlError(5));
        EXPECT_EQ(e.description, tarv::noWindowDescription()) << k.member;
    }
}

// For every member with optional parameters, of every class: leaving them out gives the same
// outcome as passing the defaults of the table.
TEST_F(SurfaceTest, OmittedOptionalArgumentsEqualTheirDefaultsEverywhere) {
    int checked = 0;
    for (const ClassInfo* c : typeLibrary().classes) {
        for (const MemberInfo& m : c->defaultInterface->members) {
            if (m.kind != MemberKind::Method || m.params.empty() || !m.params.back().optional)
                continue;
            SCOPED_TRACE((c->name + "." + m.name).toStdString());
            std::vector<Variant> omitted = sampleArguments(m), explicitDefaults = omitted;
            for (const ParamInfo& p : m.params)
                if (p.optional) {
                    omitted.push_back(Variant::missing());
                    explicitDefaults.push_back(p.defaultValue);
                }
            ComPtr<IDispatch> a, b;
            ASSERT_EQ(c->create(IID_IDispatch, a.putVoid()), S_OK);
            ASSERT_EQ(c->create(IID_IDispatch, b.putVoid()), S_OK);
            Variant ra, rb;
            ErrorInfo ea, eb;
            const HRESULT ha = call(a.get(), m.name, omitted, &ra, &ea);
            const HRESULT hb = call(b.get(), m.name, explicitDefaults, &rb, &eb);
            EXPECT_EQ(ha, hb);
            EXPECT_NE(ha, DISP_E_BADPARAMCOUNT);
            EXPECT_NE(ha, DISP_E_PARAMNOTOPTIONAL);
            EXPECT_EQ(ea.description, eb.description);
            EXPECT_EQ(ra, rb);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8); // Spegni_Pc, Invia_File, OpenFN, SaveFN, CreaFileDiTesto, two of
                           // Internet, Inizializza_registro
}

// Whatever a late-bound host passes, every member answers with a result or a failure that
// carries a description; nothing crashes.
TEST_F(SurfaceTest, AnyArgumentsGiveAResultOrADescribedFailure) {
    ComPtr<IDispatch> someObject;
    ASSERT_EQ(Zip::classInfo().create(IID_IDispatch, someObject.putVoid()), S_OK);
    const std::vector<Variant> oddities{Variant::null(),
                                        Variant(),
                                        Variant(someObject.get()),
                                        Variant(1e300),
                                        Variant(-1e-300),
                                        Variant("abc"),
                                        Variant(QString(5000, QLatin1Char('9'))),
                                        Variant(int32_t(-2147483647 - 1)),
                                        Variant::missing()};
    int calls = 0;
    for (const ClassInfo* c : typeLibrary().classes)
        for (const MemberInfo& m : c->defaultInterface->members) {
            if (m.kind != MemberKind::Method)
                continue;
            for (const Variant& odd : oddities)
                for (size_t count = 0; count <= m.params.size() + 1; ++count) {
                    ComPtr<IDispatch> d;
                    ASSERT_EQ(c->create(IID_IDispatch, d.putVoid()), S_OK);
                    Variant result;
                    ErrorInfo e;
                    const HRESULT hr =
                        call(d.get(), m.name, std::vector<Variant>(count, odd), &result, &e);
                    if (FAILED(hr))
                        EXPECT_FALSE(e.description.isEmpty())
                            << (c->name + "." + m.name).toStdString();
                    ++calls;
                }
        }
    EXPECT_GT(calls, 400);
}

// Public variables are plain storage, each instance its own.
TEST_F(SurfaceTest, PublicVariablesBelongToTheirInstance) {
    ComPtr<IDispatch> a, b;
    ASSERT_EQ(Zip::classInfo().create(IID_IDispatch, a.putVoid()), S_OK);
    ASSERT_EQ(Zip::classInfo().create(IID_IDispatch, b.putVoid()), S_OK);
    ASSERT_NE(a.get(), b.get());
    ASSERT_EQ(putProperty(a.get(), QStringLiteral("Sorgente"), Variant("a.txt")), S_OK);
    ASSERT_EQ(putProperty(a.get(), QStringLiteral("Auto_Avvio"), Variant(int16_t(1))), S_OK);
    Variant v;
    ASSERT_EQ(getProperty(a.get(), QStringLiteral("sorgente"), &v), S_OK);
    EXPECT_EQ(v, Variant("a.txt"));
    ASSERT_EQ(getProperty(a.get(), QStringLiteral("Auto_Avvio"), &v), S_OK);
    EXPECT_EQ(v, Variant(true));
    ASSERT_EQ(getProperty(b.get(), QStringLiteral("Sorgente"), &v), S_OK);
    EXPECT_EQ(v, Variant(""));
    ASSERT_EQ(getProperty(b.get(), QStringLiteral("Auto_Avvio"), &v), S_OK);
    EXPECT_EQ(v, Variant(false));

    // The wheel's form is an object set by reference; its cancel flag is read-only.
    ComPtr<IDispatch> wheel;
    ASSERT_EQ(CMouseWheel::classInfo().create(IID_IDispatch, wheel.putVoid()), S_OK);
    std::vector<Variant> form{Variant(a.get())};
    ASSERT_EQ(
        invokeByName(wheel.get(), QStringLiteral("Form"), DISPATCH_PROPERTYPUTREF, form, nullptr),
        S_OK);
    ASSERT_EQ(getProperty(wheel.get(), QStringLiteral("Form"), &v), S_OK);
    EXPECT_EQ(v.toDispatch(), a.get());
    EXPECT_EQ(putProperty(wheel.get(), QStringLiteral("MouseWheelCancel"), Variant(int16_t(1))),
              DISP_E_MEMBERNOTFOUND);
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(wheel.queryInterface(IID_IConnectionPointContainer, &cpc), S_OK);
}

// Hosts call through the dual interface's table of functions.
TEST_F(SurfaceTest, DualInterfaceCallsReachTheSameObject) {
    ComPtr<_GestioneReg> reg;
    ASSERT_EQ(GestioneReg::classInfo().create(IID__GestioneReg, reg.putVoid()), S_OK);
    TipiDiRami root = CURRENT_USER;
    QString key = QStringLiteral("Software\\Tarv");
    ASSERT_EQ(reg->Inizializza_registro(&root, &key), S_OK);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(reg->Scrivi_Chiave(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    Variant v;
    ASSERT_EQ(getProperty(reg.get(), QStringLiteral("MasterKey"), &v), S_OK);
    EXPECT_EQ(v, Variant(int32_t(CURRENT_USER)));
    EXPECT_EQ(win.registry.openKey(CURRENT_USER, key), tarv::RegStatus::Ok);
}

} // namespace
