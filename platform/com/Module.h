#pragma once

#include "Dispatch.h"
#include "MemberTable.h"

#include <QString>

namespace tarv::com {

// What a component library does for the four exports of an in-process server, given its type
// library description.
HRESULT moduleGetClassObject(const TypeLibInfo& lib, REFCLSID clsid, REFIID riid, void** ppv);
HRESULT moduleCanUnloadNow();
// Writes the registration entries of every class, interface and the type library, for the
// library file at libraryPath. Unregistration removes exactly those entries (a key goes only
// when nothing else is left in it).
HRESULT moduleRegisterServer(const TypeLibInfo& lib, const QString& libraryPath);
HRESULT moduleUnregisterServer(const TypeLibInfo& lib);

// One registry entry: key below HKEY_CLASSES_ROOT, value name ("" = the key's default value),
// string data.
struct RegistrationEntry {
    QString key;
    QString name;
    QString data;
};
std::vector<RegistrationEntry> registrationEntries(const TypeLibInfo& lib,
                                                   const QString& libraryPath);

// Module-level state of a component library (a hook's stored procedure, the one instance of a
// private window) exists once per thread that uses the library, as apartment threading wants:
// each thread gets its own T, made on first use and destroyed when the thread ends.
template <class T> T& moduleState() {
    thread_local T state;
    return state;
}

// The absolute path of the shared object that holds the given address.
QString modulePathOf(const void* address);

} // namespace tarv::com

// Defines the four exports of a component library from a function returning its type
// library description. The library finds its own file from the address of an object with
// internal linkage: an exported symbol's address would resolve to the first library in the
// process that exports the same name.
#define TARV_COM_DEFINE_EXPORTS(typeLibFunction)                                                   \
    namespace {                                                                                    \
    const char tarvModuleAnchor = 0;                                                               \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) tarv::com::HRESULT DllGetClassObject(        \
        const tarv::com::CLSID& clsid, const tarv::com::IID& riid, void** ppv) {                   \
        return tarv::com::moduleGetClassObject(typeLibFunction(), clsid, riid, ppv);               \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) tarv::com::HRESULT DllCanUnloadNow() {       \
        return tarv::com::moduleCanUnloadNow();                                                    \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) tarv::com::HRESULT DllRegisterServer() {     \
        return tarv::com::moduleRegisterServer(typeLibFunction(),                                  \
                                               tarv::com::modulePathOf(&tarvModuleAnchor));        \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) tarv::com::HRESULT DllUnregisterServer() {   \
        return tarv::com::moduleUnregisterServer(typeLibFunction());                               \
    }
