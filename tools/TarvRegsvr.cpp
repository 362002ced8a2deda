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
    std::fputs("Uso: tarv-regsvr [-u] LIBRERIA\n"
               "Registra la libreria di componenti LIBRERIA (un file .so) nel registro;\n"
               "con -u ne toglie le voci.\n",
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
        if (a == QLatin1String("-u") || a == QLatin1String("/u")) {
            unregister = true;
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
