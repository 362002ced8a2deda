// The registry class through the automation interface, on a fresh registry store.
#include "GestioneReg.h"

#include "Collection.h"
#include "DispatchCall.h"
#include "TestWindowsDir.h"

#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

class GestioneRegTest : public WindowsDirTest {
protected:
    void SetUp() override {
        ASSERT_EQ(GestioneReg::classInfo().create(IID_IDispatch, reg.putVoid()), S_OK);
    }

    Variant run(const char* name, std::vector<Variant> args = {}) {
        Variant result;
        ErrorInfo e;
        const HRESULT hr = call(reg.get(), QString::fromLatin1(name), std::move(args), &result, &e);
        EXPECT_EQ(hr, S_OK) << name << ": " << e.description.toStdString();
        return result;
    }
    Variant prop(const char* name) {
        Variant v;
        EXPECT_EQ(getProperty(reg.get(), QString::fromLatin1(name), &v), S_OK);
        return v;
    }
    QStringList list(const char* name) {
        const Variant c = run(name);
        EXPECT_EQ(c.type(), VT_DISPATCH);
        std::vector<Variant> items;
        EXPECT_EQ(collectionItems(c.toDispatch(), &items), S_OK);
        QStringList out;
        for (const Variant& v : items)
            out << v.toStr();
        return out;
    }
    void select(TipiDiRami root, const char* key) {
        run("Inizializza_registro", {Variant(int32_t(root)), Variant(key)});
    }

    ComPtr<IDispatch> reg;
};

const Variant True(true);
const Variant False(false);
const Variant Empty("");

TEST_F(GestioneRegTest, BeforeTheRootIsSetEveryOperationFails) {
    EXPECT_EQ(prop("MasterKey"), Variant(int32_t(0)));
    putProperty(reg.get(), QStringLiteral("Key"), Variant("Software"));
    EXPECT_EQ(run("Controlla_Chiave"), False);
    EXPECT_EQ(run("Scrivi_Chiave"), False);
    EXPECT_EQ(run("Elimina_Chiave"), False);
    EXPECT_EQ(run("Scrivi_Stringa", {Variant("a"), Variant("b")}), False);
    EXPECT_EQ(run("Leggi_Stringa", {Variant("a")}), Empty);
    EXPECT_EQ(run("Scrivi_DWORD", {Variant("a"), Variant(int16_t(1))}), False);
    EXPECT_EQ(run("Leggi_DWORD", {Variant("a")}), Empty);
    EXPECT_EQ(run("Elimina_Stringa", {Variant("a")}), False);
    EXPECT_EQ(run("REnumValue", {Variant(int32_t(0))}), False);
    EXPECT_TRUE(list("Elenca_Valori").isEmpty());
    EXPECT_TRUE(list("Elenca_Chiavi").isEmpty());
}

TEST_F(GestioneRegTest, InitialisationDefaultsAreLocalMachineAndTheCurrentKey) {
    putProperty(reg.get(), QStringLiteral("Key"), Variant("Software\\Tarv"));
    putProperty(reg.get(), QStringLiteral("MasterKey"), Variant(int32_t(CURRENT_USER)));
    run("Inizializza_registro");
    EXPECT_EQ(prop("MasterKey"), Variant(int32_t(LOCAL_MACHINE)));
    EXPECT_EQ(prop("Key"), Variant("Software\\Tarv"));
    // Omitted arguments and the defaults passed explicitly give the same state.
    ComPtr<IDispatch> other;
    ASSERT_EQ(GestioneReg::classInfo().create(IID_IDispatch, other.putVoid()), S_OK);
    putProperty(other.get(), QStringLiteral("Key"), Variant("Software\\Tarv"));
    ASSERT_EQ(call(other.get(), QStringLiteral("Inizializza_registro"),
                   {Variant(int32_t(LOCAL_MACHINE)), Variant("")}),
              S_OK);
    Variant mk, k;
    getProperty(other.get(), QStringLiteral("MasterKey"), &mk);
    getProperty(other.get(), QStringLiteral("Key"), &k);
    EXPECT_EQ(mk, prop("MasterKey"));
    EXPECT_EQ(k, prop("Key"));
    // A new key is taken only when it is not empty; only the root may be omitted.
    run("Inizializza_registro", {Variant::missing(), Variant("Software\\Altro")});
    EXPECT_EQ(prop("Key"), Variant("Software\\Altro"));
    EXPECT_EQ(prop("MasterKey"), Variant(int32_t(LOCAL_MACHINE)));
}

TEST_F(GestioneRegTest, DwordsAreSignExtendedAndReadAsHexText) {
    select(CURRENT_USER, "Software\\Tarv");
    ASSERT_EQ(run("Scrivi_Chiave"), True);
    struct Case {
        int16_t value;
        const char* text;
        int32_t dword;
    } cases[] = {{-1, "FFFFFFFF", -1},
                 {0, "0", 0},
                 {255, "FF", 255},
                 {-32768, "FFFF8000", -32768},
                 {32767, "7FFF", 32767}};
    for (const Case& c : cases) {
        EXPECT_EQ(run("Scrivi_DWORD", {Variant("n"), Variant(c.value)}), True);
        EXPECT_EQ(run("Leggi_DWORD", {Variant("n")}), Variant(c.text));
        EXPECT_EQ(prop("DWordValue"), Variant(c.dword));
        EXPECT_EQ(prop("STRValue"), Variant(c.text));
    }
    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(win.registry.queryValue(CURRENT_USER, QStringLiteral("Software\\Tarv"),
                                      QStringLiteral("n"), &type, &data),
              RegStatus::Ok);
    EXPECT_EQ(type, uint32_t(REG_DWORD));
    // Valore is an Integer: beyond 16 bits the call fails before anything is written.
    ErrorInfo e;
    EXPECT_EQ(call(reg.get(), QStringLiteral("Scrivi_DWORD"),
                   {Variant("n"), Variant(int32_t(40000))}, nullptr, &e),
              DISP_E_OVERFLOW);
    EXPECT_EQ(e.basicNumber(), 6);
    EXPECT_EQ(run("Leggi_DWORD", {Variant("n")}), Variant("7FFF"));
}

TEST_F(GestioneRegTest, StringsRoundTripAndTypesDoNotMix) {
    select(CURRENT_USER, "Software\\Tarv");
    // Writes do not create the key.
    EXPECT_EQ(run("Scrivi_Stringa", {Variant("s"), Variant("x")}), False);
    ASSERT_EQ(run("Scrivi_Chiave"), True);
    EXPECT_EQ(run("Controlla_Chiave"), True);
    for (const char* text : {"ciao", "àèìòù €", "riga\r\naltra", ""}) {
        EXPECT_EQ(run("Scrivi_Stringa", {Variant("s"), Variant(text)}), True);
        EXPECT_EQ(run("Leggi_Stringa", {Variant("S")}), Variant(text));
    }
    // The empty string is stored as its terminating zero byte alone.
    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(win.registry.queryValue(CURRENT_USER, QStringLiteral("Software\\Tarv"),
                                      QStringLiteral("s"), &type, &data),
              RegStatus::Ok);
    EXPECT_EQ(data, QByteArray(1, '\0'));
    ASSERT_EQ(run("Scrivi_DWORD", {Variant("d"), Variant(int16_t(5))}), True);
    putProperty(reg.get(), QStringLiteral("STRValue"), Variant("prima"));
    EXPECT_EQ(run("Leggi_Stringa", {Variant("d")}), Empty);
    EXPECT_EQ(prop("STRValue"), Variant("prima"));
    EXPECT_EQ(run("Leggi_DWORD", {Variant("s")}), Empty);
    EXPECT_EQ(run("Leggi_Stringa", {Variant("assente")}), Empty);
    // Elimina_Stringa deletes values of either type.
    EXPECT_EQ(run("Elimina_Stringa", {Variant("d")}), True);
    EXPECT_EQ(run("Elimina_Stringa", {Variant("s")}), True);
    EXPECT_EQ(run("Elimina_Stringa", {Variant("s")}), False);
}

TEST_F(GestioneRegTest, EnumerationsListValuesAndSubkeys) {
    select(CURRENT_USER, "Software\\Tarv");
    ASSERT_EQ(run("Scrivi_Chiave"), True);
    run("Scrivi_Stringa", {Variant("uno"), Variant("1")});
    run("Scrivi_DWORD", {Variant("due"), Variant(int16_t(2))});
    EXPECT_EQ(list("Elenca_Valori"), QStringList({"uno", "due"}));
    EXPECT_EQ(run("REnumValue", {Variant(int32_t(1))}), True);
    EXPECT_EQ(prop("NameValue"), Variant("due"));
    EXPECT_EQ(prop("Tipo"), Variant(int32_t(0)));
    EXPECT_EQ(run("REnumValue", {Variant(int32_t(2))}), False);
    EXPECT_EQ(prop("NameValue"), Variant("due"));

    win.registry.createKey(CURRENT_USER, QStringLiteral("Software\\Tarv\\B"));
    win.registry.createKey(CURRENT_USER, QStringLiteral("Software\\Tarv\\A"));
    EXPECT_EQ(list("Elenca_Chiavi"), QStringList({"A", "B"}));
    EXPECT_EQ(prop("NameKey"), Variant("B"));

    // A name longer than the enumeration's buffer ends the list at its index.
    win.registry.setValue(CURRENT_USER, QStringLiteral("Software\\Tarv"),
                          QString(2001, QLatin1Char('v')), REG_SZ,
                          RegistryStore::stringData(QStringLiteral("x")));
    run("Scrivi_Stringa", {Variant("dopo"), Variant("y")});
    EXPECT_EQ(list("Elenca_Valori"), QStringList({"uno", "due"}));
    win.registry.createKey(CURRENT_USER,
                           QStringLiteral("Software\\Tarv\\") + QString(256, QLatin1Char('k')));
    win.registry.createKey(CURRENT_USER, QStringLiteral("Software\\Tarv\\Z"));
    EXPECT_EQ(list("Elenca_Chiavi"), QStringList({"A", "B"}));

    // A key that cannot be opened gives empty collections.
    select(CURRENT_USER, "Software\\Assente");
    EXPECT_TRUE(list("Elenca_Valori").isEmpty());
    EXPECT_TRUE(list("Elenca_Chiavi").isEmpty());
}

TEST_F(GestioneRegTest, KeysWithSubkeysAreNotDeleted) {
    select(CURRENT_USER, "Software\\Tarv\\Figlia");
    ASSERT_EQ(run("Scrivi_Chiave"), True);
    select(CURRENT_USER, "Software\\Tarv");
    EXPECT_EQ(run("Elimina_Chiave"), False);
    EXPECT_EQ(run("Controlla_Chiave"), True);
    select(CURRENT_USER, "Software\\Tarv\\Figlia");
    EXPECT_EQ(run("Elimina_Chiave"), True);
    EXPECT_EQ(run("Controlla_Chiave"), False);
    EXPECT_EQ(run("Elimina_Chiave"), False);
}

TEST_F(GestioneRegTest, InstancesKeepTheirOwnState) {
    ComPtr<IDispatch> other;
    ASSERT_EQ(GestioneReg::classInfo().create(IID_IDispatch, other.putVoid()), S_OK);
    select(CURRENT_USER, "Software\\Uno");
    EXPECT_EQ(run("Scrivi_Chiave"), True);
    Variant k, mk;
    getProperty(other.get(), QStringLiteral("Key"), &k);
    getProperty(other.get(), QStringLiteral("MasterKey"), &mk);
    EXPECT_EQ(k, Empty);
    EXPECT_EQ(mk, Variant(int32_t(0)));
}

TEST_F(GestioneRegTest, ArgumentsAreCheckedBeforeTheRegistryIsTouched) {
    struct Case {
        const char* member;
        std::vector<Variant> args;
        HRESULT hr;
    } cases[] = {
        {"Scrivi_Stringa", {Variant("a")}, DISP_E_BADPARAMCOUNT},
        {"Scrivi_Stringa", {Variant("a"), Variant("b"), Variant("c")}, DISP_E_BADPARAMCOUNT},
        {"Leggi_Stringa", {Variant::null()}, DISP_E_TYPEMISMATCH},
        {"Leggi_Stringa", {Variant::missing()}, DISP_E_PARAMNOTOPTIONAL},
        {"REnumValue", {Variant("zero")}, DISP_E_TYPEMISMATCH},
        {"Inizializza_registro", {Variant(1e12)}, DISP_E_OVERFLOW},
        {"Elenca_Chiavi", {Variant(int16_t(1))}, DISP_E_BADPARAMCOUNT},
    };
    for (Case& c : cases) {
        ErrorInfo e;
        EXPECT_EQ(call(reg.get(), QString::fromLatin1(c.member), c.args, nullptr, &e), c.hr)
            << c.member;
        EXPECT_FALSE(e.description.isEmpty()) << c.member;
    }
    EXPECT_EQ(prop("MasterKey"), Variant(int32_t(0)));
}

} // namespace
