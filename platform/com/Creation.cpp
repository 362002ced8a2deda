#include "Creation.h"

#include "ErrorInfo.h"
#include "RegistryStore.h"
#include "Services.h"

#include <QFile>

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <utility>

namespace tarv::com {

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT (*)();

struct Library {
    void* handle = nullptr;
    GetClassObjectFn getClassObject = nullptr;
};

std::mutex g_mutex;
std::map<QString, Library>& libraries() {
    static std::map<QString, Library> libs;
    return libs;
}

// Why a registration could not be read, when the store itself is at fault: a damaged store
// is said as such (naming the file), not as a class that is not registered.
thread_local QString g_storeFault;

bool readDefault(const QString& key, QString* data) {
    uint32_t type = 0;
    QByteArray bytes;
    RegistryStore& store = *Services::current().registry;
    const RegStatus status =
        store.queryValue(RegistryStore::ClassesRoot, key, QString(), &type, &bytes);
    if (status == RegStatus::StoreDamaged)
        g_storeFault = store.lastError();
    if (status != RegStatus::Ok || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    *data = RegistryStore::stringFromData(bytes);
    return true;
}

// The description of a failed look-up: the standard text and what was looked for, or the
// store's fault.
QString lookupFailure(HRESULT hr, const QString& what) {
    QString text = QStringLiteral("%1: %2").arg(standardDescription(hr), what);
    if (!g_storeFault.isEmpty())
        text += QStringLiteral(" (%1)").arg(std::exchange(g_storeFault, QString()));
    return text;
}

} // namespace

HRESULT clsidFromProgId(const QString& progId, CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    QString text;
    g_storeFault.clear();
    if (progId.isEmpty() || progId.contains(QLatin1Char('\\')) ||
        !readDefault(progId + QStringLiteral("\\Clsid"), &text) || !GUID::parse(text, clsid))
        return fail(CO_E_CLASSSTRING, lookupFailure(CO_E_CLASSSTRING, progId));
    return S_OK;
}

HRESULT progIdFromClsid(REFCLSID clsid, QString* progId) {
    if (!progId)
        return E_POINTER;
    g_storeFault.clear();
    if (!readDefault(QStringLiteral("CLSID\\") + clsid.toString() + QStringLiteral("\\ProgID"),
                     progId))
        return fail(REGDB_E_CLASSNOTREG, lookupFailure(REGDB_E_CLASSNOTREG, clsid.toString()));
    return S_OK;
}

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    QString path;
    g_storeFault.clear();
    if (!readDefault(QStringLiteral("CLSID\\") + clsid.toString() +
                         QStringLiteral("\\InprocServer32"),
                     &path) ||
        path.isEmpty())
        return fail(REGDB_E_CLASSNOTREG, lookupFailure(REGDB_E_CLASSNOTREG, clsid.toString()));

    GetClassObjectFn entry = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Library& lib = libraries()[path];
        if (!lib.handle) {
            void* h = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!h) {
                const char* why = dlerror();
                libraries().erase(path);
                return fail(CO_E_DLLNOTFOUND,
                            QStringLiteral("%1: %2").arg(standardDescription(CO_E_DLLNOTFOUND),
                                                         why ? QString::fromLocal8Bit(why) : path));
            }
            auto fn = reinterpret_cast<GetClassObjectFn>(dlsym(h, "DllGetClassObject"));
            if (!fn) {
                dlclose(h);
                libraries().erase(path);
                return fail(CO_E_ERRORINDLL, QStringLiteral("%1: %2").arg(
                                                 standardDescription(CO_E_ERRORINDLL), path));
            }
            lib.handle = h;
            lib.getClassObject = fn;
        }
        entry = lib.getClassObject;
    }
    const HRESULT hr = entry(clsid, riid, ppv);
    if (FAILED(hr))
        return fail(hr, QStringLiteral("%1: %2").arg(standardDescription(hr), clsid.toString()));
    return hr;
}

HRESULT createInstance(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    if (FAILED(hr)) {
        // A class that refuses to be created says why; keep its words.
        const ErrorInfo refusal = takeErrorInfo();
        if (refusal.number == hr && !refusal.description.isEmpty()) {
            setErrorInfo(refusal);
            return hr;
        }
        return fail(hr);
    }
    return hr;
}

HRESULT createObject(const QString& id, IDispatch** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CLSID clsid;
    const QString trimmed = id.trimmed();
    if (trimmed.startsWith(QLatin1Char('{'))) {
        if (!GUID::parse(trimmed, &clsid))
            return fail(CO_E_CLASSSTRING,
                        QStringLiteral("%1: %2").arg(standardDescription(CO_E_CLASSSTRING), id));
    } else {
        const HRESULT hr = clsidFromProgId(trimmed, &clsid);
        if (FAILED(hr))
            return hr;
    }
    return createInstance(clsid, IID_IDispatch, reinterpret_cast<void**>(object));
}

void freeUnusedLibraries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = libraries().begin(); it != libraries().end();) {
        auto canUnload =
            reinterpret_cast<CanUnloadNowFn>(dlsym(it->second.handle, "DllCanUnloadNow"));
        if (canUnload && canUnload() == S_OK) {
            dlclose(it->second.handle);
            it = libraries().erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace tarv::com
