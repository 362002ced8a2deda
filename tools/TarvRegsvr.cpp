// tarv-regsvr: registers a component library in the registry store, or removes its entries
// (-u), by calling the library's own DllRegisterServer / DllUnregisterServer.
#include "ComTypes.h"
#include "ErrorInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <cstdio>
#include <dlfcn.h>

using namespace tarv::com;

namespace {

void usage(FILE* out) {
    std::fputs("Uso: tarv-regsvr [-u] [--user | --system] LIBRERIA\n"
               "Registra la libreria di componenti LIBRERIA (un file .so) nel registro;\n"
               "con -u ne toglie le voci.\n"
               "\n"
               "  -u         toglie la registrazione\n"
               "  --user     nel registro dell'utente ($TARV_WINDIR/registry/machine.db),\n"
               "             anche dove la macchina ha un registro suo\n"
               "  --system   nel registro della macchina (/var/lib/tarv/registry/machine.db):\n"
               "             solo l'amministratore\n"
               "  --help     mostra questo aiuto\n"
               "  --version  mostra la versione\n"
               "\n"
               "Senza --user né --system: nel registro dell'utente se esiste, altrimenti in\n"
               "quello della macchina se esiste, altrimenti in uno nuovo dell'utente.\n",
               out);
}

int failWith(const QString& text) {
    std::fprintf(stderr, "tarv-regsvr: %s\n", text.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QCoreApplication app(argc, argv);
    bool unregister = false;
    QString library;
    const QStringList args = app.arguments().mid(1);
    for (const QString& a : args) {
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        }
        if (a == QLatin1String("--version")) {
            std::printf("tarv-regsvr (Tarv) %s\n", TARV_VERSION);
            return 0;
        }
        if (a == QLatin1String("-u") || a == QLatin1String("/u")) {
            unregister = true;
        } else if (a == QLatin1String("--user") || a == QLatin1String("--system")) {
            // The libraries read the store through the process's services, which take the
            // choice from the environment.
            qputenv("TARV_MACHINE_STORE", a == QLatin1String("--user") ? "user" : "system");
        } else if (a.startsWith(QLatin1Char('-')) || !library.isEmpty()) {
            usage(stderr);
            return 2;
        } else {
            library = a;
        }
    }
    if (library.isEmpty()) {
        usage(stderr);
        return 2;
    }
    const QFileInfo fi(library);
    if (!fi.isFile())
        return failWith(QStringLiteral("%1: file non trovato").arg(library));
    const QString path = fi.canonicalFilePath();
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return failWith(QStringLiteral("impossibile caricare %1: %2")
                            .arg(path, QString::fromLocal8Bit(dlerror())));
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
    if (!fn)
        return failWith(QStringLiteral("%1 non trovato in %2: non è una libreria di componenti")
                            .arg(QLatin1String(entry), path));
    clearErrorInfo();
    const HRESULT hr = fn();
    if (FAILED(hr)) {
        ErrorInfo e = takeErrorInfo();
        if (e.description.isEmpty())
            e.description = standardDescription(hr);
        return failWith(QStringLiteral("%1 in %2 non riuscito: errore 0x%3: %4")
                            .arg(QLatin1String(entry), path)
                            .arg(uint32_t(hr), 8, 16, QLatin1Char('0'))
                            .arg(e.description));
    }
    std::printf("%s in %s riuscito.\n", entry, path.toLocal8Bit().constData());
    return 0;
}
