#include "RegistryObject.h"
#include "RegistryStore.h"
#include "TestWindowsDir.h"

using namespace tarv;

namespace {

class RegistryObjectTest : public WindowsDirTest {
protected:
    RegistryObject reg;
    void SetUp() override {
        reg.MasterKey = RegistryObject::CURRENT_USER;
        reg.Key = "Software\\Test";
        ASSERT_TRUE(reg.Scrivi_Chiave()) << win.registry.lastError().toStdString();
    }
};

TEST_F(RegistryObjectTest, UnsetRootFailsEverything) {
    RegistryObject fresh;
    fresh.Key = "Software\\Test";
    EXPECT_FALSE(fresh.Controlla_Chiave());
    EXPECT_FALSE(fresh.Scrivi_Chiave());
    EXPECT_FALSE(fresh.Scrivi_Stringa("a", "b"));
    EXPECT_EQ(fresh.Leggi_Stringa("a"), "");
    EXPECT_EQ(fresh.Leggi_DWORD("a"), "");
    EXPECT_TRUE(fresh.Elenca_Valori().isEmpty());
    EXPECT_TRUE(fresh.Elenca_Chiavi().isEmpty());
}

TEST_F(RegistryObjectTest, InizializzaDefaultsToLocalMachineAndKeepsKey) {
    reg.Inizializza_registro();
    EXPECT_EQ(reg.MasterKey, RegistryObject::LOCAL_MACHINE);
    EXPECT_EQ(reg.Key, "Software\\Test");
    reg.Inizializza_registro(RegistryObject::USERS, "X");
    EXPECT_EQ(reg.MasterKey, int32_t(0x80000003u));
    EXPECT_EQ(reg.Key, "X");
}

TEST_F(RegistryObjectTest, DwordsAndStringsWithTheirTextForms) {
    struct Case {
        int16_t value;
        const char* text;
    } cases[] = {{-1, "FFFFFFFF"}, {0, "0"}, {255, "FF"}, {-32768, "FFFF8000"}, {32767, "7FFF"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(reg.Scrivi_DWORD("d", c.value));
        EXPECT_EQ(reg.Leggi_DWORD("d"), c.text) << c.value;
        EXPECT_EQ(reg.DWordValue, c.value);
    }
    // Wrong types read as failures and leave the fields alone.
    ASSERT_TRUE(reg.Scrivi_Stringa("s", "testo"));
    reg.STRValue = "before";
    EXPECT_EQ(reg.Leggi_DWORD("s"), "");
    EXPECT_EQ(reg.Leggi_Stringa("d"), "");
    EXPECT_EQ(reg.STRValue, "before");
    EXPECT_EQ(reg.Leggi_Stringa("S"), "testo");
    ASSERT_TRUE(reg.Scrivi_Stringa("empty", ""));
    EXPECT_EQ(reg.Leggi_Stringa("empty"), "");
    // Both kinds of value are deleted by the same call.
    EXPECT_TRUE(reg.Elimina_Stringa("d"));
    EXPECT_TRUE(reg.Elimina_Stringa("s"));
    EXPECT_FALSE(reg.Elimina_Stringa("s"));
    // Writes never create the key.
    reg.Key = "Software\\Nowhere";
    EXPECT_FALSE(reg.Scrivi_Stringa("a", "b"));
    EXPECT_FALSE(reg.Controlla_Chiave());
}

TEST_F(RegistryObjectTest, MailerFaceUsesFieldsAndStoresTheType) {
    reg.storesValueType = true;
    reg.NameValue = "Server";
    reg.STRValue = "smtp.example.it";
    ASSERT_TRUE(reg.RSetString());
    reg.STRValue.clear();
    ASSERT_TRUE(reg.RGetString());
    EXPECT_EQ(reg.STRValue, "smtp.example.it");
    reg.NameValue = "Full";
    reg.DWordValue = int32_t(0x80000001u);
    ASSERT_TRUE(reg.RSetDWord());
    ASSERT_TRUE(reg.RGetDWord());
    EXPECT_EQ(reg.STRValue, "80000001");
    ASSERT_TRUE(reg.REnumValue(1));
    EXPECT_EQ(reg.NameValue, "Full");
    EXPECT_EQ(reg.Tipo, 4);
    ASSERT_TRUE(reg.REnumValue(0));
    EXPECT_EQ(reg.Tipo, 1);
    EXPECT_FALSE(reg.REnumValue(2));
    EXPECT_TRUE(reg.RDelValue());
}

TEST_F(RegistryObjectTest, EnumerationsAndOverlongNames) {
    reg.Scrivi_Stringa("b", "1");
    reg.Scrivi_Stringa(QString(RegistryObject::kValueNameBuffer, 'n'), "2");
    reg.Scrivi_Stringa("a", "3");
    // The overlong name ends the enumeration at its index.
    EXPECT_EQ(reg.Elenca_Valori(), QStringList({"b"}));
    const QString base = reg.Key;
    for (const char* sub : {"Zeta", "alfa", "Beta"}) {
        reg.Key = base + "\\" + sub;
        ASSERT_TRUE(reg.Scrivi_Chiave()) << win.registry.lastError().toStdString();
    }
    reg.Key = base;
    EXPECT_EQ(reg.Elenca_Chiavi(), QStringList({"alfa", "Beta", "Zeta"}));
    EXPECT_FALSE(reg.Elimina_Chiave());
    reg.Key = base + "\\Beta";
    EXPECT_TRUE(reg.Elimina_Chiave());
    reg.Key = "Software\\Missing";
    EXPECT_TRUE(reg.Elenca_Chiavi().isEmpty());
}

TEST_F(RegistryObjectTest, NameBuffersCountCharactersNotBytes) {
    const QString base = reg.Key;
    // Two bytes each in the store, one character each in the buffers.
    ASSERT_TRUE(reg.Scrivi_Stringa(QString(1999, QChar(0xe8)), "1"));
    ASSERT_TRUE(reg.Scrivi_Stringa(QString(2000, QChar(0xe8)), "2"));
    EXPECT_EQ(reg.Elenca_Valori(), QStringList{QString(1999, QChar(0xe8))});
    for (int length : {128, 254, 255}) {
        reg.Key = base + "\\" + QString(length, QChar(0xe8));
        ASSERT_TRUE(reg.Scrivi_Chiave()) << win.registry.lastError().toStdString();
    }
    reg.Key = base;
    EXPECT_EQ(reg.Elenca_Chiavi(),
              QStringList({QString(128, QChar(0xe8)), QString(254, QChar(0xe8))}));
}

} // namespace
