// The control as a component: its member table, registration, creation by programmatic
// identifier, late-bound puts and gets, and failed drawings reaching the caller.
#include "BarcodeComponent.h"
#include "ComPtr.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "Module.h"
#include "TestWindowsDir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tarv;
using namespace tarv::com;
using tarv::barcode::BarcodeComponent;

namespace {

struct Registered : ::testing::Test {
    Registered() {
        EXPECT_EQ(
            moduleRegisterServer(barcode::typeLibrary(), QStringLiteral(TARV_BARCODE_LIBRARY)),
            S_OK);
    }
    TestWindowsDir windir;
};

} // namespace

TEST(Component, MemberTableMatchesTheInterface) {
    const InterfaceInfo& info = BarcodeComponent::interfaceInfo();
    EXPECT_TRUE(info.problems().isEmpty()) << info.problems().join('\n').toStdString();
    struct Member {
        const char* name;
        DISPID id;
    };
    const Member members[] = {{"TipoCodice", 0x68030004},    {"Codice", 0x68030003},
                              {"DisegnaCodice", 0x60030005}, {"MostraTesto", 0x68030002},
                              {"Allineamento", 0x68030001},  {"Spessore", 0x68030000},
                              {"spessore", 0x68030000}};
    for (const Member& m : members)
        EXPECT_EQ(info.idOfName(QString::fromLatin1(m.name)), m.id) << m.name;
    EXPECT_EQ(barcode::typeLibrary().progId(BarcodeComponent::classInfo()),
              QStringLiteral("TarvBarcode.ctlBarcode"));
    EXPECT_TRUE(BarcodeComponent::eventInterface().members.empty());
}

TEST_F(Registered, CreatedByProgIdWithTheControlsDefaults) {
    ComPtr<IDispatch> object;
    ASSERT_EQ(createObject(QStringLiteral("TarvBarcode.ctlBarcode"), object.put()), S_OK);

    struct Expected {
        const char* name;
        Variant value;
    };
    const Expected defaults[] = {{"TipoCodice", Variant(int16_t(1))},
                                 {"Codice", Variant("BARCODE")},
                                 {"MostraTesto", Variant(true)},
                                 {"Allineamento", Variant(int16_t(0))},
                                 {"Spessore", Variant(int16_t(0))}};
    for (const Expected& e : defaults) {
        Variant v;
        ASSERT_EQ(getProperty(object.get(), QString::fromLatin1(e.name), &v), S_OK) << e.name;
        EXPECT_EQ(v.type(), e.value.type()) << e.name;
        EXPECT_TRUE(v == e.value) << e.name;
    }

    // Puts store with the control's rules and draw; gets read back.
    ASSERT_EQ(putProperty(object.get(), QStringLiteral("Spessore"), Variant(int16_t(-5))), S_OK);
    Variant v;
    ASSERT_EQ(getProperty(object.get(), QStringLiteral("Spessore"), &v), S_OK);
    EXPECT_TRUE(v == Variant(int16_t(1)));
    ASSERT_EQ(putProperty(object.get(), QStringLiteral("Codice"), Variant("abc")), S_OK);
    ASSERT_EQ(getProperty(object.get(), QStringLiteral("Codice"), &v), S_OK);
    EXPECT_TRUE(v == Variant("abc"));
    ASSERT_EQ(putProperty(object.get(), QStringLiteral("TipoCodice"), Variant(int16_t(3))), S_OK);
    EXPECT_EQ(call(object.get(), QStringLiteral("DisegnaCodice"), {}), S_OK);
}

TEST_F(Registered, RegistrationEntries) {
    QStringList keys;
    for (const RegistrationEntry& e :
         registrationEntries(barcode::typeLibrary(), QStringLiteral(TARV_BARCODE_LIBRARY)))
        keys << e.key.toUpper();
    for (const char* key :
         {"TARVBARCODE.CTLBARCODE\\CLSID", "CLSID\\{1A081B62-0E5B-4965-B5C7-6420A3BEAF30}",
          "INTERFACE\\{94C94567-109D-482F-8D29-2A78AF9C62A1}",
          "INTERFACE\\{BD744F81-1B2F-4C08-94D5-C922F72A4FED}",
          "TYPELIB\\{754F7766-B470-4E9E-8853-B12460E96840}"})
        EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [&](const QString& k) {
            return k.startsWith(QLatin1String(key));
        })) << key;
    EXPECT_EQ(moduleUnregisterServer(barcode::typeLibrary()), S_OK);
    CLSID clsid;
    EXPECT_NE(clsidFromProgId(QStringLiteral("TarvBarcode.ctlBarcode"), &clsid), S_OK);
}

TEST(Component, FailedDrawingFailsThePut) {
    ComPtr<barcode::_ctlBarcode> control;
    ASSERT_EQ(BarcodeComponent::create(barcode::IID__ctlBarcode, control.putVoid()), S_OK);
    auto* component = static_cast<BarcodeComponent*>(control.get());
    ASSERT_NE(component->widget(), nullptr);
    component->widget()->resize(20000, 20000); // more than the picture area will hold

    ErrorInfo error;
    EXPECT_NE(putProperty(control.get(), QStringLiteral("Codice"), Variant("NUOVO"), &error), S_OK);
    EXPECT_EQ(error.basicNumber(), 7);
    EXPECT_EQ(error.description, QStringLiteral("Memoria esaurita"));
    EXPECT_EQ(error.source, QStringLiteral("TarvBarcode.ctlBarcode"));
    Variant v;
    ASSERT_EQ(getProperty(control.get(), QStringLiteral("Codice"), &v), S_OK);
    EXPECT_TRUE(v == Variant("NUOVO")) << "the value stays stored";

    component->widget()->resize(200, 80);
    EXPECT_EQ(call(control.get(), QStringLiteral("DisegnaCodice"), {}), S_OK);

    // A host that destroyed the widget it took over gets an error, not a crash.
    delete component->widget();
    EXPECT_NE(putProperty(control.get(), QStringLiteral("Spessore"), Variant(int16_t(2)), &error),
              S_OK);
    EXPECT_EQ(error.basicNumber(), 91);
}

TEST_F(Registered, ConsoleHostGetsAClearRefusal) {
    // tarv-call as a console host: the control is a window and says so. On a display (this
    // test's offscreen one) tarv-call is a GUI host and the control is made.
    QProcess p;
    p.start(QStringLiteral(TARV_CALL),
            {QStringLiteral("--console"), QStringLiteral("TarvBarcode.ctlBarcode"),
             QStringLiteral("Codice")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_NE(p.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("QApplication"))) << err.toStdString();

    p.start(QStringLiteral(TARV_CALL),
            {QStringLiteral("TarvBarcode.ctlBarcode"), QStringLiteral("Codice=\"ABC\""),
             QStringLiteral("Codice")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(p.readAllStandardOutput(), "ABC\n");
}
