// tarv-call: a late-bound host from the shell. Creates one object by programmatic or class
// identifier and applies each operation to it in order, printing every result on its own
// line (as automation writes it, in the user's locale) and, after it, every by-reference
// argument the member changed as "name -> value". A failed call prints the error number and
// description on standard error and ends with status 1, and so does a method whose class keeps
// the failure of the work it ran in its hidden Esito (Zip.Zippa, whose window showed it).
//
// With a display that can be opened (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) it is a GUI
// host: boxes, file dialogs and the library's windows are Qt ones; on a platform no one sees
// (offscreen, minimal) the windows work but boxes and dialogs take their safest answer.
// Otherwise, or with --console, it is a console host: boxes on the terminal, and members that
// need a window fail.
#include "CallOperation.h"

#include "ComPtr.h"
#include "Conversions.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "ErrorInfo.h"
#include "MemberTable.h"

#include "GuiPlatform.h"
#include "WidgetServices.h"

#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace tarv;
using namespace tarv::com;

namespace {

void usage(FILE* out) {
    std::fputs(
        "Uso: tarv-call [--console] ID OPERAZIONE...\n"
        "     tarv-call ID --help\n"
        "     tarv-call --help | --version\n"
        "Crea un oggetto dall'identificatore di programma (TarvUtility.Math) o di classe\n"
        "({...}) e vi applica le operazioni nell'ordine:\n"
        "  Nome=valore        imposta una proprietà\n"
        "  Nome               legge una proprietà o chiama un metodo senza argomenti\n"
        "  Nome(arg, ...)     chiama un metodo; un argomento vuoto è omesso\n"
        "Valori come in C: 1.005, -2, 1e-07, 0xFF, \"testo\" (con \\\" \\\\ \\n \\r \\t \\0),\n"
        "True, False, Null, e i membri delle enumerazioni per nome (CURRENT_USER).\n"
        "Ogni risultato è stampato su una riga; un argomento per riferimento cambiato\n"
        "dal metodo segue come \"nome -> valore\".\n"
        "Con uno schermo che si può aprire (DISPLAY, WAYLAND_DISPLAY o QT_QPA_PLATFORM)\n"
        "messaggi, finestre di dialogo e finestre della libreria sono grafici; senza, o con\n"
        "--console, i messaggi vanno sul terminale e i membri che aprono una finestra non\n"
        "sono disponibili.\n",
        out);
}

void printError(const ErrorInfo& e) {
    std::fprintf(stderr, "Errore %d (0x%08X): %s\n", e.basicNumber(), uint32_t(e.number),
                 e.description.toLocal8Bit().constData());
}

QString basicType(VarType t, const QString& typeName) {
    if (!typeName.isEmpty())
        return typeName;
    switch (t) {
    case VT_I2:
        return QStringLiteral("Integer");
    case VT_I4:
        return QStringLiteral("Long");
    case VT_UI1:
        return QStringLiteral("Byte");
    case VT_R8:
        return QStringLiteral("Double");
    case VT_BSTR:
        return QStringLiteral("String");
    case VT_BOOL:
        return QStringLiteral("Boolean");
    case VT_DISPATCH:
        return QStringLiteral("Object");
    case VT_UNKNOWN:
        return QStringLiteral("IUnknown");
    default:
        return QStringLiteral("Variant");
    }
}

QString describe(const MemberInfo& m, const TypeLibInfo* lib) {
    QStringList params;
    for (const ParamInfo& p : m.params) {
        QString s = QStringLiteral("%1%2 As %3")
                        .arg(p.byRef ? QStringLiteral("ByRef ") : QStringLiteral("ByVal "), p.name,
                             basicType(p.type, p.typeName));
        if (p.optional) {
            QString d;
            toText(p.defaultValue, &d);
            if (p.defaultValue.type() == VT_BSTR)
                d = QLatin1Char('"') + d + QLatin1Char('"');
            // An enumeration's default by its member's name.
            if (lib && !p.typeName.isEmpty())
                for (const EnumInfo& e : lib->enums)
                    if (e.name == p.typeName)
                        for (const auto& [name, value] : e.members)
                            if (Variant(value) == p.defaultValue)
                                d = name;
            s = QStringLiteral("[Optional %1 = %2]").arg(s, d);
        }
        params << s;
    }
    QString text;
    switch (m.kind) {
    case MemberKind::PropertyGet:
        text = QStringLiteral("Property Get %1 As %2")
                   .arg(m.name, basicType(m.result, m.resultTypeName));
        break;
    case MemberKind::PropertyPut:
        text = QStringLiteral("Property Let %1 = %2")
                   .arg(m.name, basicType(m.params[0].type, QString()));
        break;
    case MemberKind::PropertyPutRef:
        text = QStringLiteral("Property Set %1 = %2")
                   .arg(m.name, basicType(m.params[0].type, QString()));
        break;
    case MemberKind::Method:
        text = m.result == VT_VOID
                   ? QStringLiteral("Sub %1(%2)").arg(m.name, params.join(QStringLiteral(", ")))
                   : QStringLiteral("Function %1(%2) As %3")
                         .arg(m.name, params.join(QStringLiteral(", ")),
                              basicType(m.result, m.resultTypeName));
        break;
    }
    const QString id = QString::number(uint32_t(m.dispid), 16).toUpper();
    return QStringLiteral("  %1  [&H%2]").arg(text, id);
}

void printHelp(const QString& id, const InterfaceInfo* info) {
    std::printf("%s: interfaccia %s %s\n", id.toLocal8Bit().constData(),
                info->name.toLocal8Bit().constData(), info->iid.toString().toLatin1().constData());
    for (const MemberInfo& m : info->members) {
        if (m.hidden)
            continue;
        QString line = describe(m, info->typeLib);
        std::printf("%s\n", line.toLocal8Bit().constData());
    }
    if (info->typeLib)
        for (const EnumInfo& e : info->typeLib->enums) {
            QStringList members;
            for (const auto& [name, value] : e.members)
                members << QStringLiteral("%1 = %2").arg(name).arg(value);
            std::printf("Enum %s: %s\n", e.name.toLocal8Bit().constData(),
                        members.join(QStringLiteral(", ")).toLocal8Bit().constData());
        }
}

} // namespace

int main(int argc, char** argv) {
    // Help and version need no display, nor the user's registry.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarv-call (Tarv) %s\n", TARV_VERSION);
        return 0;
    }
    const bool console = argc > 1 && std::strcmp(argv[1], "--console") == 0;
    // A display that is named but cannot be opened (gone, or not ours) would end the program
    // inside Qt: the call goes on as a console host instead.
    bool gui = false;
    if (!console) {
        const GuiPlatform platform = GuiPlatform::find();
        gui = platform.available();
        if (!gui && !platform.problem.isEmpty())
            std::fprintf(stderr,
                         "tarv-call: impossibile aprire lo schermo (%s): messaggi sul terminale "
                         "e nessuna finestra\n",
                         platform.problem.toLocal8Bit().constData());
    }
    // Either application also selects the user's locale (setlocale LC_ALL "").
    std::unique_ptr<QCoreApplication> app;
    if (gui) {
        auto* gui = new QApplication(argc, argv);
        app.reset(gui);
        installWidgetServices(*gui);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    std::setlocale(LC_ALL, "");
    const QStringList args = app->arguments().mid(console ? 2 : 1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        usage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString id = args[0];
    ComPtr<IDispatch> object;
    if (FAILED(createObject(id, object.put()))) {
        ErrorInfo e = takeErrorInfo();
        printError(e);
        return 1;
    }
    const InterfaceInfo* info = nullptr;
    ComPtr<ITypeInfo> typeInfo;
    if (SUCCEEDED(object->GetTypeInfo(0, 0, typeInfo.put())) && typeInfo)
        info = typeInfo->GetInterfaceInfo();
    const EnumLookup enums = [info](const QString& name, int32_t* value) {
        return info && info->typeLib && info->typeLib->enumValue(name, value);
    };

    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            if (info)
                printHelp(id, info);
            continue;
        }
        CallOperation op;
        QString error;
        if (!parseOperation(args[i], enums, &op, &error)) {
            std::fprintf(stderr, "tarv-call: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
        ErrorInfo failure;
        if (op.kind == CallOperation::Put) {
            if (FAILED(putProperty(object.get(), op.name, op.value, &failure))) {
                printError(failure);
                return 1;
            }
            continue;
        }
        // Every argument goes by reference, so that values the member changes come back.
        QStringList lines;
        const MemberInfo* member = nullptr;
        if (FAILED(callOperation(object.get(), info, op, &lines, &member, &failure))) {
            printError(failure);
            return 1;
        }
        for (const QString& line : lines)
            std::printf("%s\n", line.toLocal8Bit().constData());
        // A method that shows its failures in a window of its own (Zip.Zippa) ends without an
        // error; the class keeps the outcome in its hidden Esito.
        std::vector<Variant> none;
        if (member && member->kind == MemberKind::Method &&
            info->find(DISPID_ESITO, MemberKind::PropertyGet) &&
            FAILED(invokeById(object.get(), DISPID_ESITO, DISPATCH_PROPERTYGET, none, nullptr,
                              &failure))) {
            printError(failure);
            return 1;
        }
    }
    return 0;
}
