#pragma once

#include "Interfaces.h"

#include <QString>

namespace tarv::com {

// Creation of registered classes: the class identifier is looked up in the registry store
// (HKEY_CLASSES_ROOT), its in-process server is loaded with dlopen (once per process) and its
// DllGetClassObject asked for a factory; every creation gives a fresh instance. Failures set
// the thread's error information (see ErrorInfo.h):
//   CO_E_CLASSSTRING      the programmatic identifier is not registered (or not well formed)
//   REGDB_E_CLASSNOTREG   the class identifier has no in-process server entry
//   CO_E_DLLNOTFOUND      the registered library cannot be loaded
//   CO_E_ERRORINDLL       the library has no DllGetClassObject
//   CLASS_E_CLASSNOTAVAILABLE  the library does not know the class
HRESULT clsidFromProgId(const QString& progId, CLSID* clsid);
HRESULT progIdFromClsid(REFCLSID clsid, QString* progId);
HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv);
HRESULT createInstance(REFCLSID clsid, REFIID riid, void** ppv);
// By programmatic identifier ("TarvUtility.Math") or braced class identifier.
HRESULT createObject(const QString& id, IDispatch** object);

// Offers every library loaded by creation whose DllCanUnloadNow agrees to be unloaded.
void freeUnusedLibraries();

} // namespace tarv::com
