#include "Module.h"

#include "RegistryStore.h"
#include "Services.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <dlfcn.h>
#include <set>

namespace tarv::com {

namespace {

class ClassFactory final : public ComObject<ClassFactory, IClassFactory, IID_IClassFactory> {
public:
    explicit ClassFactory(const ClassInfo& cls) : m_class(cls) {}
    // Every request gives a fresh instance.
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_class.create(riid, ppv);
    }
    HRESULT LockServer(bool on) override {
        ModuleCounts::lock(on);
        return S_OK;
    }

private:
    const ClassInfo& m_class;
};

const QString kPlatformKey = QStringLiteral("linux");

int depth(const QString& key) {
    return int(key.count(QLatin1Char('\\')));
}

} // namespace

HRESULT moduleGetClassObject(const TypeLibInfo& lib, REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const ClassInfo* cls = lib.findClass(clsid);
    if (!cls || !cls->create)
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* f = new (std::nothrow) ClassFactory(*cls);
    if (!f)
        return E_OUTOFMEMORY;
    const HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}

HRESULT moduleCanUnloadNow() {
    return ModuleCounts::idle() ? S_OK : S_FALSE;
}

std::vector<RegistrationEntry> registrationEntries(const TypeLibInfo& lib,
                                                   const QString& libraryPath) {
    std::vector<RegistrationEntry> e;
    const QString libid = lib.libid.toString();
    const QString version = lib.versionText();
    auto add = [&](const QString& key, const QString& name, const QString& data) {
        e.push_back({key, name, data});
    };
    auto addInterface = [&](const InterfaceInfo& i) {
        const QString key = QStringLiteral("Interface\\") + i.iid.toString();
        add(key, QString(), i.name);
        add(key + QStringLiteral("\\ProxyStubClsid"), QString(), CLSID_PSOAInterface.toString());
        add(key + QStringLiteral("\\ProxyStubClsid32"), QString(), CLSID_PSOAInterface.toString());
        add(key + QStringLiteral("\\TypeLib"), QString(), libid);
        add(key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"), version);
    };
    for (const ClassInfo* c : lib.classes) {
        const QString progId = lib.progId(*c);
        const QString clsid = c->clsid.toString();
        add(progId, QString(), progId);
        add(progId + QStringLiteral("\\Clsid"), QString(), clsid);
        const QString key = QStringLiteral("CLSID\\") + clsid;
        add(key, QString(), progId);
        add(key + QStringLiteral("\\InprocServer32"), QString(), libraryPath);
        add(key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"),
            QStringLiteral("Apartment"));
        add(key + QStringLiteral("\\ProgID"), QString(), progId);
        add(key + QStringLiteral("\\VERSION"), QString(), version);
        add(key + QStringLiteral("\\TypeLib"), QString(), libid);
        add(key + QStringLiteral("\\Programmable"), QString(), QString());
        if (c->defaultInterface)
            addInterface(*c->defaultInterface);
        if (c->eventInterface)
            addInterface(*c->eventInterface);
    }
    const QString tl = QStringLiteral("TypeLib\\") + libid + QLatin1Char('\\') + version;
    add(tl, QString(), lib.name);
    add(tl + QStringLiteral("\\0\\") + kPlatformKey, QString(), libraryPath);
    add(tl + QStringLiteral("\\FLAGS"), QString(), QStringLiteral("0"));
    add(tl + QStringLiteral("\\HELPDIR"), QString(), QFileInfo(libraryPath).absolutePath());
    return e;
}

HRESULT moduleRegisterServer(const TypeLibInfo& lib, const QString& libraryPath) {
    if (libraryPath.isEmpty())
        return fail(SELFREG_E_CLASS, QStringLiteral("Percorso della libreria sconosciuto"));
    RegistryStore& reg = *Services::current().registry;
    for (const RegistrationEntry& e : registrationEntries(lib, libraryPath)) {
        if (reg.createKey(RegistryStore::ClassesRoot, e.key) != RegStatus::Ok ||
            reg.setValue(RegistryStore::ClassesRoot, e.key, e.name, REG_SZ,
                         RegistryStore::stringData(e.data)) != RegStatus::Ok) {
            const HRESULT hr =
                e.key.startsWith(QLatin1String("TypeLib")) ? SELFREG_E_TYPELIB : SELFREG_E_CLASS;
            return fail(hr, QStringLiteral("Impossibile scrivere HKEY_CLASSES_ROOT\\%1: %2")
                                .arg(e.key, reg.lastError()));
        }
    }
    return S_OK;
}

HRESULT moduleUnregisterServer(const TypeLibInfo& lib) {
    RegistryStore& reg = *Services::current().registry;
    // Everything removable is removed; the first entry that could not be is what the caller
    // hears about. An entry already gone is no failure.
    QString failure;
    HRESULT failureCode = S_OK;
    const auto check = [&](RegStatus status, const QString& key) {
        if (status == RegStatus::Ok || status == RegStatus::NotFound || !failure.isEmpty())
            return;
        failureCode =
            key.startsWith(QLatin1String("TypeLib")) ? SELFREG_E_TYPELIB : SELFREG_E_CLASS;
        failure = QStringLiteral("Impossibile rimuovere HKEY_CLASSES_ROOT\\%1: %2")
                      .arg(key, reg.lastError());
    };
    const auto empty = [](RegStatus s) {
        return s == RegStatus::NoMoreItems || s == RegStatus::NotFound;
    };
    const auto entries = registrationEntries(lib, QStringLiteral("-"));
    // Every key the entries name, with the parents that registration created below the
    // well-known roots (CLSID, Interface, TypeLib stay).
    std::set<QString> keys;
    for (const RegistrationEntry& e : entries) {
        check(reg.deleteValue(RegistryStore::ClassesRoot, e.key, e.name), e.key);
        for (QString k = e.key;;) {
            if (k == QLatin1String("CLSID") || k == QLatin1String("Interface") ||
                k == QLatin1String("TypeLib"))
                break;
            keys.insert(k);
            const int cut = int(k.lastIndexOf(QLatin1Char('\\')));
            if (cut < 0)
                break;
            k = k.left(cut);
        }
    }
    std::vector<QString> ordered(keys.begin(), keys.end());
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const QString& a, const QString& b) { return depth(a) > depth(b); });
    for (const QString& k : ordered) {
        QString name;
        const RegStatus subkey = reg.enumKey(RegistryStore::ClassesRoot, k, 0, &name);
        const RegStatus value = reg.enumValue(RegistryStore::ClassesRoot, k, 0, &name);
        if (subkey == RegStatus::Ok || value == RegStatus::Ok)
            continue; // someone else's entries live here
        if (!empty(subkey) || !empty(value)) {
            check(empty(subkey) ? value : subkey, k); // the key could not be looked at
            continue;
        }
        check(reg.deleteKey(RegistryStore::ClassesRoot, k), k);
    }
    if (!failure.isEmpty())
        return fail(failureCode, failure);
    return S_OK;
}

QString modulePathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return QString();
    const QString path = QFile::decodeName(info.dli_fname);
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}

} // namespace tarv::com
