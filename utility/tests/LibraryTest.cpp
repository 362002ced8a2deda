// The built library as hosts meet it: registered with tarv-regsvr, created by programmatic or
// class identifier through the registry store and dlopen, driven from the shell by tarv-call.
// This executable links only the component layer, not the classes.
#include "ComPtr.h"
#include "CommandRecorders.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "ErrorInfo.h"
#include "ProfileFile.h"
#include "RegistryStore.h"
#include "TarvUtility.h"
#include "TestDisplay.h"
#include "TestWindowsDir.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <dlfcn.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {
QString noWindowText() {
    return QStringLiteral("Impossibile mostrare una finestra: il programma che usa la libreria "
                          "non ha un'interfaccia grafica su questo thread");
}
} // namespace

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

class LibraryTest : public WindowsDirTest {
protected:
    QString workDir; // where the tools run; the test's own folder when empty
    // Runs a tool as a console host (no display), with nothing on standard input; screen
    // gives it one ("QT_QPA_PLATFORM=offscreen", "DISPLAY=:5"). A run that is still going
    // after timeoutMs is killed and reported with status -1.
    ToolRun run(const QString& program, const QStringList& args,
                const QString& locale = QStringLiteral("C.UTF-8"), const QStringList& screen = {},
                int timeoutMs = 60000) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        env.insert(QStringLiteral("LC_ALL"), locale);
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(display));
        for (const QString& variable : screen)
            env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(workDir);
        p.start(program, args);
        p.closeWriteChannel();
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return {-1, QString::fromUtf8(p.readAllStandardOutput()),
                    QString::fromUtf8(p.readAllStandardError())};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    ToolRun regsvr(const QStringList& args) { return run(QStringLiteral(TARV_REGSVR), args); }
    ToolRun tarvCall(const QStringList& args, const QString& locale = QStringLiteral("C.UTF-8")) {
        return run(QStringLiteral(TARV_CALL), args, locale);
    }
    // The commands that programs started detached have run so far, waiting up to 20 seconds
    // (a loaded or sanitizer build starts them slowly) for the count expected.
    QStringList commands(int expected) {
        for (int i = 0; i < 400 && recordedCommands().size() < expected; ++i)
            QThread::msleep(50);
        return recordedCommands();
    }
    void registerLibrary(const char* path = TARV_UTILITY_LIB) {
        const ToolRun r = regsvr({QString::fromUtf8(path)});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
    }
    QString classesValue(const QString& key, const QString& name = QString()) {
        uint32_t type = 0;
        QByteArray data;
        if (win.registry.queryValue(RegistryStore::ClassesRoot, key, name, &type, &data) !=
            RegStatus::Ok)
            return QStringLiteral("<none>");
        return RegistryStore::stringFromData(data);
    }
};

struct ClassId {
    const char* progId;
    CLSID clsid;
    IID iid;
};
const ClassId kClasses[] = {
    {"TarvUtility.Math", CLSID_Math, IID__Math},
    {"TarvUtility.Altro", CLSID_Altro, IID__Altro},
    {"TarvUtility.CMouseWheel", CLSID_CMouseWheel, IID__CMouseWheel},
    {"TarvUtility.Contabili", CLSID_Contabili, IID__Contabili},
    {"TarvUtility.ShellMan", CLSID_ShellMan, IID__ShellMan},
    {"TarvUtility.Internet", CLSID_Internet, IID__Internet},
    {"TarvUtility.GestioneReg", CLSID_GestioneReg, IID__GestioneReg},
    {"TarvUtility.Zip", CLSID_Zip, IID__Zip},
};

void expectNotCreatable(const char* when) {
    for (const ClassId& c : kClasses) {
        ComPtr<IDispatch> d;
        EXPECT_EQ(createObject(QString::fromLatin1(c.progId), d.put()), CO_E_CLASSSTRING)
            << when << c.progId;
        EXPECT_FALSE(d);
        EXPECT_EQ(createObject(c.clsid.toString(), d.put()), REGDB_E_CLASSNOTREG)
            << when << c.progId;
        const ErrorInfo e = takeErrorInfo();
        EXPECT_EQ(e.basicNumber(), 429);
        EXPECT_TRUE(e.description.startsWith(QStringLiteral("Classe non registrata")))
            << e.description.toStdString();
    }
}

TEST_F(LibraryTest, CreationByBothIdentifiersFollowsRegistration) {
    expectNotCreatable("before registration: ");
    registerLibrary();
    for (const ClassId& c : kClasses) {
        SCOPED_TRACE(c.progId);
        ComPtr<IDispatch> byName, byClsid;
        ASSERT_EQ(createObject(QString::fromLatin1(c.progId), byName.put()), S_OK);
        ASSERT_EQ(createObject(c.clsid.toString(), byClsid.put()), S_OK);
        EXPECT_NE(byName.get(), byClsid.get()); // every creation is a fresh instance
        ComPtr<IUnknown> dual;
        EXPECT_EQ(byName.queryInterface(c.iid, &dual), S_OK);
        ComPtr<IUnknown> none;
        EXPECT_EQ(byName.queryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        ComPtr<ITypeInfo> ti;
        ASSERT_EQ(byName->GetTypeInfo(0, 0, ti.put()), S_OK);
        EXPECT_EQ(ti->GetInterfaceInfo()->iid, c.iid);
    }
    const ToolRun r = regsvr({QStringLiteral("-u"), QStringLiteral(TARV_UTILITY_LIB)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    expectNotCreatable("after unregistration: ");
}

TEST_F(LibraryTest, RegistrationWritesTheStandardEntriesAndRemovesExactlyThem) {
    // Something of somebody else's below a key the library also uses.
    win.registry.createKey(RegistryStore::ClassesRoot,
                           QStringLiteral("CLSID\\") + CLSID_Math.toString() + "\\Altrui");
    registerLibrary();
    const QString lib = QFileInfo(QStringLiteral(TARV_UTILITY_LIB)).canonicalFilePath();
    const QString clsid = QStringLiteral("CLSID\\") + CLSID_Math.toString();
    EXPECT_EQ(classesValue(clsid), QStringLiteral("TarvUtility.Math"));
    EXPECT_EQ(classesValue(clsid + "\\InprocServer32"), lib);
    EXPECT_EQ(classesValue(clsid + "\\InprocServer32", QStringLiteral("ThreadingModel")),
              QStringLiteral("Apartment"));
    EXPECT_EQ(classesValue(clsid + "\\ProgID"), QStringLiteral("TarvUtility.Math"));
    EXPECT_EQ(classesValue(clsid + "\\TypeLib"),
              QStringLiteral("{37CA076D-0768-49AE-9D4A-71111D985DC2}"));
    EXPECT_EQ(classesValue(QStringLiteral("TarvUtility.Math\\Clsid")), CLSID_Math.toString());
    EXPECT_EQ(classesValue(QStringLiteral("TypeLib\\{37CA076D-0768-49AE-9D4A-71111D985DC2}\\7.0")),
              QStringLiteral("TarvUtility"));
    EXPECT_EQ(classesValue(QStringLiteral("Interface\\") + IID__Math.toString()),
              QStringLiteral("_Math"));
    EXPECT_EQ(classesValue(QStringLiteral("Interface\\") + DIID___CMouseWheel.toString()),
              QStringLiteral("__CMouseWheel"));
    // Registering twice changes nothing.
    registerLibrary();
    EXPECT_EQ(classesValue(clsid + "\\InprocServer32"), lib);

    ASSERT_EQ(regsvr({QStringLiteral("-u"), QStringLiteral(TARV_UTILITY_LIB)}).status, 0);
    EXPECT_EQ(classesValue(clsid + "\\InprocServer32"), QStringLiteral("<none>"));
    EXPECT_EQ(win.registry.openKey(RegistryStore::ClassesRoot, clsid + "\\Altrui"), RegStatus::Ok);
    EXPECT_EQ(win.registry.openKey(RegistryStore::ClassesRoot, clsid + "\\ProgID"),
              RegStatus::NotFound);
    EXPECT_EQ(win.registry.openKey(RegistryStore::ClassesRoot, QStringLiteral("TarvUtility.Zip")),
              RegStatus::NotFound);
    EXPECT_EQ(
        win.registry.openKey(RegistryStore::ClassesRoot,
                             QStringLiteral("TypeLib\\{37CA076D-0768-49AE-9D4A-71111D985DC2}")),
        RegStatus::NotFound);
    EXPECT_EQ(win.registry.openKey(RegistryStore::ClassesRoot,
                                   QStringLiteral("Interface\\") + IID__Zip.toString()),
              RegStatus::NotFound);
    QString name;
    EXPECT_EQ(win.registry.enumKey(RegistryStore::ClassesRoot, QStringLiteral("CLSID"), 1, &name),
              RegStatus::NoMoreItems);
}

TEST_F(LibraryTest, RegsvrRefusesWhatIsNoComponentLibrary) {
    const ToolRun missing = regsvr({win.file(QStringLiteral("nessuna.so"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("file non trovato")))
        << missing.err.toStdString();
    const QString text = win.write(QStringLiteral("finta.so"), "non una libreria");
    const ToolRun notElf = regsvr({text});
    EXPECT_EQ(notElf.status, 1);
    EXPECT_TRUE(notElf.err.contains(QStringLiteral("impossibile caricare")))
        << notElf.err.toStdString();
    EXPECT_EQ(regsvr({}).status, 2);
    EXPECT_EQ(regsvr({QStringLiteral("--help")}).status, 0);
}

// The library created through the store works on this process's registry store and raises
// its errors into this process's error information.
TEST_F(LibraryTest, LoadedLibrarySharesTheHostsContext) {
    registerLibrary();
    ComPtr<IDispatch> reg;
    ASSERT_EQ(createObject(QStringLiteral("tarvutility.gestionereg"), reg.put()), S_OK);
    ASSERT_EQ(call(reg.get(), QStringLiteral("Inizializza_registro"),
                   {Variant(int32_t(CURRENT_USER)), Variant("Software\\Tarv")}),
              S_OK);
    Variant ok;
    ASSERT_EQ(call(reg.get(), QStringLiteral("Scrivi_Chiave"), {}, &ok), S_OK);
    EXPECT_EQ(ok, Variant(true));
    ASSERT_EQ(
        call(reg.get(), QStringLiteral("Scrivi_Stringa"), {Variant("v"), Variant("dato")}, &ok),
        S_OK);
    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(win.registry.queryValue(CURRENT_USER, QStringLiteral("Software\\Tarv"),
                                      QStringLiteral("v"), &type, &data),
              RegStatus::Ok);
    EXPECT_EQ(RegistryStore::stringFromData(data), QStringLiteral("dato"));

    // Through the dual interface, the error of a member comes back as error information.
    ComPtr<_ShellMan> shell;
    ASSERT_EQ(createInstance(CLSID_ShellMan, IID__ShellMan, shell.putVoid()), S_OK);
    QString existing = win.write("dati.txt", "x");
    VARIANT_BOOL overwrite = VARIANT_FALSE;
    clearErrorInfo();
    EXPECT_EQ(shell->CreaFileDiTesto(&existing, &overwrite), controlError(58));
    const ErrorInfo e = takeErrorInfo();
    EXPECT_EQ(e.number, controlError(58));
    EXPECT_EQ(e.source, QStringLiteral("TarvUtility.ShellMan"));
}

TEST_F(LibraryTest, TarvCallDrivesTheRegistryClass) {
    registerLibrary();
    const ToolRun r =
        tarvCall({QStringLiteral("TarvUtility.GestioneReg"),
                  QStringLiteral("Inizializza_registro(CURRENT_USER, \"Software\\\\Tarv\")"),
                  QStringLiteral("Scrivi_Chiave"), QStringLiteral("Scrivi_DWORD(\"n\", -1)"),
                  QStringLiteral("Leggi_DWORD(\"n\")"), QStringLiteral("DWordValue"),
                  QStringLiteral("Scrivi_Stringa(\"s\", \"a \\\"b\\\" c\")"),
                  QStringLiteral("Leggi_Stringa(\"s\")"), QStringLiteral("Elenca_Valori"),
                  QStringLiteral("Key"), QStringLiteral("Controlla_Chiave")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        QStringLiteral("True\nTrue\nFFFFFFFF\n-1\nTrue\na \"b\" c\nn\ns\nSoftware\\Tarv\nTrue\n"));
    uint32_t type = 0;
    QByteArray data;
    EXPECT_EQ(win.registry.queryValue(CURRENT_USER, QStringLiteral("Software\\Tarv"),
                                      QStringLiteral("n"), &type, &data),
              RegStatus::Ok);
}

TEST_F(LibraryTest, TarvCallReportsFailuresWithNumberAndDescription) {
    const ToolRun unregistered =
        tarvCall({QStringLiteral("TarvUtility.Math"), QStringLiteral("Round(1.005, 2, 1)")});
    EXPECT_EQ(unregistered.status, 1);
    EXPECT_TRUE(unregistered.err.startsWith(
        QStringLiteral("Errore 429 (0x800401F3): Stringa di classe non valida")))
        << unregistered.err.toStdString();
    registerLibrary();
    struct Case {
        QStringList args;
        int status;
        const char* err;
        const char* out;
    } cases[] = {
        {{"TarvUtility.GestioneReg", "Scrivi_DWORD(\"n\", 40000)"},
         1,
         "Errore 6 (0x8002000A): Overflow (argomento Valore)\n",
         ""},
        {{"TarvUtility.GestioneReg", "Scrivi_DWORD(\"n\")"},
         1,
         "Errore 450 (0x8002000E): Numero di parametri non valido (Scrivi_DWORD)\n",
         ""},
        {{"TarvUtility.GestioneReg", "Leggi_Stringa(Null)"},
         1,
         "Errore 13 (0x80020005): Tipo non corrispondente (argomento nome)\n",
         ""},
        {{"TarvUtility.GestioneReg", "Nessuno"},
         1,
         "Errore 438 (0x80020006): Nome sconosciuto: Nessuno\n",
         ""},
        {{"TarvUtility.GestioneReg", "Key=\"a\"", "Key", "Leggi_Stringa(\"x\", \"y\")", "Key"},
         1,
         "Errore 450 (0x8002000E): Numero di parametri non valido (Leggi_Stringa)\n",
         "a\n"},
        {{"TarvUtility.ShellMan", "OpenFN"},
         1,
         "Errore 5 (0x800A0005): Impossibile mostrare una finestra: il programma che usa la "
         "libreria non ha un'interfaccia grafica su questo thread\n",
         ""},
        {{"TarvUtility.GestioneReg", "Leggi_Stringa(\"x"},
         2,
         "tarv-call: operazione non valida: Leggi_Stringa(\"x\n",
         ""},
        {{"TarvUtility.GestioneReg", "Key=1,5"}, 2, "tarv-call: valore non valido: 1,5\n", ""},
    };
    for (const Case& c : cases) {
        const ToolRun r = tarvCall(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, QString::fromUtf8(c.err)) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out)) << c.args.join(' ').toStdString();
    }
}

TEST_F(LibraryTest, TarvCallChecksTaxCodesAndRoundsInTheUsersLocale) {
    registerLibrary();
    ToolRun r = tarvCall({QStringLiteral("TarvUtility.Contabili"),
                          QStringLiteral("CheckCodFiscale(\"RSSMRA85T10A562S\")"),
                          QStringLiteral("Controlla_PI(\"12345678901\")")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("True\nFalse\n"));
    // The message box appears on the terminal: title, text, button.
    EXPECT_EQ(r.err, QStringLiteral("\a[Controllo Partita IVA]\nPartita IVA errata!\n1) OK\n"));
    r = tarvCall({QStringLiteral("TarvUtility.Math"), QStringLiteral("Round(1.005, 2, 1)"),
                  QStringLiteral("Round(1234, -2, 1)")});
    EXPECT_EQ(r.out, QStringLiteral("1.01\n1200\n"));
    if (!QProcess::execute(QStringLiteral("sh"), {"-c", "locale -a | grep -qi '^it_IT.utf8$'"})) {
        r = tarvCall({QStringLiteral("TarvUtility.Math"), QStringLiteral("Round(1.005, 2, 1)"),
                      QStringLiteral("NDec(\"12,340\")"), QStringLiteral("Intero(-12.7)")},
                     QStringLiteral("it_IT.UTF-8"));
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("1,01\n3\n-12\n"));
    }
}

// A component of the tests' own shows what no TarvUtility member does yet: values written
// back through by-reference arguments, and numbers in the user's locale.
TEST_F(LibraryTest, TarvCallPrintsByReferenceResultsInTheUsersLocale) {
    registerLibrary(TARV_PROBE_LIB);
    ToolRun r =
        tarvCall({QStringLiteral("TarvProbe.Probe"), QStringLiteral("Twice(21)"),
                  QStringLiteral("Twice(7, 3)"), QStringLiteral("Join(\"a\", , 1.5)"),
                  QStringLiteral("Join(\"a\", \"b\", Null, Rosso)"), QStringLiteral("Flag(True)")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("42\nn -> 42\n21\nn -> 21\na|B|1.5|2\na|b|?|1\n1\n"));
    if (!QProcess::execute(QStringLiteral("sh"), {"-c", "locale -a | grep -qi '^it_IT.utf8$'"})) {
        r = tarvCall({QStringLiteral("TarvProbe.Probe"), QStringLiteral("Value=1.005"),
                      QStringLiteral("Value"), QStringLiteral("Value=1e-07"),
                      QStringLiteral("Value"), QStringLiteral("Value=\"2,5\""),
                      QStringLiteral("Value")},
                     QStringLiteral("it_IT.UTF-8"));
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("1,005\n0,0000001\n2,5\n"));
    }
    r = tarvCall({QStringLiteral("TarvProbe.Probe"), QStringLiteral("Fail(5)")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QStringLiteral("Errore 5 (0x800A0005): Errore di prova 5\n"));
    r = tarvCall({QStringLiteral("TarvProbe.Probe"), QStringLiteral("--help")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(
        QStringLiteral("Function Join(ByVal a As String, [Optional ByRef b As String = \"B\"], "
                       "[Optional ByRef c As Variant = 7], "
                       "[Optional ByRef colore As Colore = Verde]) As String  [&H60030001]")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Enum Colore: Rosso = 1, Verde = 2")));
}

// An X display number that no server of this machine answers on.
QString goneDisplay() {
    for (int n = 97; n > 50; --n)
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    return QString();
}

// A Qt program that links only the library gets Qt boxes and dialogs owned by its main
// window, in Italian, on a display someone sees; on Qt's offscreen platform no one can answer
// them, so they take their safest answer at once and say so; from another thread of the
// program, boxes go to the terminal and windows fail.
TEST_F(LibraryTest, QtHostGetsBoxesAndDialogsOwnedByItsWindow) {
    registerLibrary();
    TestDisplay x;
    if (x.name().isEmpty())
        GTEST_SKIP() << x.why().toStdString();
    const QString otherThread = "errore 5: " + noWindowText() + "\nrisultato \"False\"\n";
    struct Case {
        QString screen, out, err;
    } cases[] = {
        {"DISPLAY=" + x.name(),
         "QMessageBox figlia della finestra principale: sì; OK\n"
         "risultato \"False\"\n"
         "QFileDialog figlia della finestra principale: sì; &Apri|Annulla|"
         "Testo (*.txt);Tutti i file (*) [Testo (*.txt)]\n"
         "risultato \"\"\n" +
             otherThread,
         ""},
        {"QT_QPA_PLATFORM=offscreen", "risultato \"False\"\nrisultato \"\"\n" + otherThread,
         "Partita IVA errata!\n1) OK\nListino\n(nessuno può rispondere: scelto \"Annulla\")\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen.toStdString());
        const ToolRun r =
            run(QStringLiteral(TARV_QT_HOST), {}, QStringLiteral("C.UTF-8"), {c.screen});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        // The call from the other thread always goes to the terminal, and beeps there.
        EXPECT_TRUE(
            r.err.contains(c.err + "\a[Controllo Partita IVA]\nPartita IVA errata!\n1) OK\n"))
            << r.err.toStdString();
    }
}

// tarv-call is a GUI host on a display someone sees (the open dialog waits for the user), a
// GUI host where no one can answer on Qt's offscreen platform (the dialog is cancelled at
// once, and says so), and a console host with --console, without a display, or with a display
// that is gone (said in one line; the member that needs a window fails, any other works).
TEST_F(LibraryTest, TarvCallRunsAsAGuiHostOnADisplayAndAsAConsoleHostOtherwise) {
    registerLibrary();
    TestDisplay x;
    const QString gone = goneDisplay();
    ASSERT_FALSE(gone.isEmpty());
    const QStringList call{"TarvUtility.ShellMan", "OpenFN(\"Scegli\")"};
    const QString noWindow = "Errore 5 (0x800A0005): " + noWindowText() + "\n";
    const QString goneLine = "tarv-call: impossibile aprire lo schermo (lo schermo X \"" + gone +
                             "\" non risponde): messaggi sul terminale e nessuna finestra\n";
    struct Case {
        QStringList screen;
        QStringList args;
        int status;
        QString out, err;
    } cases[] = {
        {{"QT_QPA_PLATFORM=offscreen"},
         call,
         0,
         "\n",
         "Scegli\n(nessuno può rispondere: scelto \"Annulla\")\n"},
        {{"QT_QPA_PLATFORM=offscreen"}, QStringList("--console") + call, 1, "", noWindow},
        {{}, call, 1, "", noWindow},
        {{"DISPLAY=" + gone}, call, 1, "", goneLine + noWindow},
        {{"DISPLAY=" + gone}, {"TarvUtility.Math", "Round(2.675, 2, 1)"}, 0, "2.68\n", goneLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.screen + c.args).join(' ').toStdString());
        const ToolRun r = run(QStringLiteral(TARV_CALL), c.args, "C.UTF-8", c.screen);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        // (Qt may warn first, about XDG_RUNTIME_DIR, before anything of ours.)
        EXPECT_TRUE(r.err.endsWith(c.err)) << r.err.toStdString();
    }
    if (!x.name().isEmpty())
        EXPECT_EQ(
            run(QStringLiteral(TARV_CALL), call, "C.UTF-8", {"DISPLAY=" + x.name()}, 3000).status,
            -1);
}

TEST_F(LibraryTest, TarvCallDrivesShellManAndAltro) {
    registerLibrary();
    const QString doc = win.write("doc/fattura.pdf", "%PDF");
    ToolRun r =
        tarvCall({"TarvUtility.ShellMan", "SetVar(\"prova.ini\", \"Dati\", \"Testo\", \"a\\tb\")",
                  "GetVar(\"prova.ini\", \"dati\", \"testo\")", "RemoveNullChars(\"a\\0b\")",
                  "GetDOSPathName(\"/una cartella/lungo nome.txt\")", "DyrSistema",
                  "FileEsiste(\"" + doc + "\")", "FileEsiste(\"" + win.path() + "\")",
                  "FileEsiste(\"" + win.file("manca") + "\")", "GetDefaultPrinter",
                  "SetDefaultPrinter(\"Ufficio,CUPS,lp\")", "PrintDocument(0, \"" + doc + "\")",
                  "OpenDocument(0, \"" + doc + "\")"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "a\tb\nab\n/una cartella/lungo nome.txt\n" + win.path() +
                         "/system/\nTrue\nTrue\nFalse\n?\n");
    // The print service is asked for its default by GetDefaultPrinter and by the save; the
    // printer and the opener start detached, so either may be recorded first.
    const QStringList started = commands(4);
    EXPECT_EQ(started.mid(0, 2), QStringList({"lpstat -d", "lpstat -d"}));
    QStringList detached = started.mid(2);
    detached.sort();
    EXPECT_EQ(detached, QStringList({"lp -d Ufficio " + doc, "xdg-open " + doc}));

    // No one to answer, on a terminal or on a screen no one sees: the question is not taken
    // as a Sì, and nothing waits for an answer.
    for (const QStringList& screen : {QStringList(), QStringList("QT_QPA_PLATFORM=offscreen")}) {
        r = run(QStringLiteral(TARV_CALL), {"TarvUtility.Altro", "IsWinNT", "Spegni_Pc(spegni)"},
                "C.UTF-8", screen, 20000);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "True\n");
        EXPECT_TRUE(r.err.contains("Spegnere il pc ora?\n1) Sì  2) No\n(nessuno può rispondere: "
                                   "scelto \"No\")"))
            << r.err.toStdString();
    }
    r = tarvCall({"TarvUtility.Altro", "Spegni_Pc(spegni, False)"});
    EXPECT_EQ(r.out, "Tipo -> 9\n");
    EXPECT_EQ(commands(5).mid(4), QStringList("systemctl poweroff --check-inhibitors=yes"));
}

// Two scripts writing keys of one profile file at the same moment lose none of them, and a
// file that root rewrites keeps its owner and mode.
TEST_F(LibraryTest, SetVarFromTwoProcessesAtOnceKeepsEveryKey) {
    registerLibrary();
    const QString ini = win.write("condiviso.ini", "[Altro]\nx=1\n");
    const int keys = 60;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* who : {"a", "b"}) {
        QStringList args{"TarvUtility.ShellMan"};
        for (int i = 0; i < keys; ++i)
            args << QStringLiteral("SetVar(\"%1\", \"Dati\", \"%2%3\", \"%3\")")
                        .arg(ini, QLatin1String(who))
                        .arg(i);
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(display));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(TARV_CALL), args);
        writers.push_back(std::move(p));
    }
    for (auto& p : writers) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    QStringList missing;
    for (const char* who : {"a", "b"})
        for (int i = 0; i < keys; ++i)
            if (ProfileFile::readString("Dati", QLatin1String(who) + QString::number(i), "?",
                                        ini) != QString::number(i))
                missing << QLatin1String(who) + QString::number(i);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(' ').toStdString();
    EXPECT_EQ(ProfileFile::readString("Altro", "x", "", ini), "1");

    if (geteuid() != 0)
        GTEST_SKIP() << "the owner is kept only where root rewrites another user's file";
    const QByteArray name = QFile::encodeName(ini);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(name.constData(), 0640), 0);
    EXPECT_EQ(tarvCall({"TarvUtility.ShellMan", "SetVar(\"" + ini + "\", \"Dati\", \"c\", \"1\")"})
                  .status,
              0);
    struct stat st {};
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ProfileFile::readString("Dati", "c", "", ini), "1");
}

// From a script: a document named relative to the script's folder opens, a FIFO where a
// profile file is expected fails at once.
TEST_F(LibraryTest, TarvCallOpensRelativeDocumentsAndRefusesAFifo) {
    registerLibrary();
    workDir = win.path();
    const QString doc = win.write("sub/doc.txt", "x");
    const QString fifo = win.file("coda.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ToolRun r = tarvCall({"TarvUtility.ShellMan", "OpenDocument(0, \"sub/doc.txt\")",
                          "OpenDocument(0, \"https://www.example.it/\")"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QStringList opened = commands(2); // two openers started at once: either may log first
    opened.sort();
    EXPECT_EQ(opened, QStringList({"xdg-open " + doc, "xdg-open https://www.example.it/"}));
    r = tarvCall({"TarvUtility.ShellMan", "GetVar(\"" + fifo + "\", \"S\", \"k\")"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Errore 75 ")) << r.err.toStdString();
}

TEST_F(LibraryTest, UnregistrationThatRemovesNothingFails) {
    // As root the store is looked at by nobody, through copies that user can reach.
    SharedCopies shared;
    const QString lib =
        QFileInfo(geteuid() == 0 ? shared.of(TARV_UTILITY_LIB) : QStringLiteral(TARV_UTILITY_LIB))
            .canonicalFilePath();
    registerLibrary(QFile::encodeName(lib).constData());
    ASSERT_FALSE(lib.isEmpty());
    const QString inproc =
        QStringLiteral("CLSID\\") + CLSID_Math.toString() + QStringLiteral("\\InprocServer32");
    const QByteArray machine = QFile::encodeName(win.file("registry/machine.db"));
    const auto expectFailure = [](const ToolRun& r) {
        EXPECT_EQ(r.status, 1) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains("DllUnregisterServer") &&
                    r.err.contains("Impossibile rimuovere HKEY_CLASSES_ROOT\\"))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("riuscito")) << r.out.toStdString();
    };

    // A store the user may only read: an administrator's, seen by an ordinary user.
    if (geteuid() == 0) {
        ::chmod(QFile::encodeName(win.path()).constData(), 0755);
        ::chmod(QFile::encodeName(win.file("registry")).constData(), 0755);
        expectFailure(
            run(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                            shared.of(TARV_REGSVR), "-u", lib}));
    } else {
        ::chmod(machine.constData(), 0444);
        expectFailure(regsvr({QStringLiteral("-u"), lib}));
        ::chmod(machine.constData(), 0644);
    }
    EXPECT_EQ(classesValue(inproc), lib);

    // A damaged store.
    const QByteArray damaged = "not a registry store\n";
    win.write("registry/machine.db", damaged);
    expectFailure(regsvr({QStringLiteral("-u"), lib}));
    EXPECT_EQ(TestWindowsDir::read(win.file("registry/machine.db")), damaged);
}

// A host linked with the bar code library registers the utility library: each library must
// name its own file, whatever else the process holds.
TEST_F(LibraryTest, RegistrationNamesTheLibrarysOwnFileWithAnotherLibraryLoaded) {
    const QString lib = QFileInfo(QStringLiteral(TARV_UTILITY_LIB)).canonicalFilePath();
    const pid_t pid = fork();
    if (pid == 0) {
        // A store of the child's own: the parent's database handles stay with the parent.
        RegistryStore store(win.path());
        Services services;
        services.registry = &store;
        ScopedServices scope(services);
        if (!dlopen(TARV_BARCODE_LIB, RTLD_NOW | RTLD_GLOBAL))
            _exit(10);
        void* utility = dlopen(TARV_UTILITY_LIB, RTLD_NOW | RTLD_LOCAL);
        auto reg = utility ? reinterpret_cast<HRESULT (*)()>(dlsym(utility, "DllRegisterServer"))
                           : nullptr;
        _exit(!reg ? 11 : reg() == S_OK ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(classesValue(QStringLiteral("CLSID\\") + CLSID_Math.toString() + "\\InprocServer32"),
              lib);
}

} // namespace
