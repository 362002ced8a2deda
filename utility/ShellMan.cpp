#include "ShellMan.h"

#include "TypeLibrary.h"

namespace tarv::utility {

using namespace com;

ShellMan::ShellMan() : DispatchObject(interfaceInfo(), progIdOf("ShellMan")) {}

const InterfaceInfo& ShellMan::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_ShellMan");
        i.iid = IID__ShellMan;
        i.members = {
            method<&_ShellMan::SetVar>("SetVar", 0x60030000,
                                       {byRef("NomeFile", VT_BSTR), byRef("Section", VT_BSTR),
                                        byRef("Variable", VT_BSTR), byVal("value", VT_BSTR)}),
            method<&_ShellMan::GetVar>(
                "GetVar", 0x60030001,
                {byRef("NomeFile", VT_BSTR), byRef("Section", VT_BSTR), byRef("Variable", VT_BSTR)},
                VT_BSTR),
            method<&_ShellMan::FindComputerName>("FindComputerName", 0x60030002, {}, VT_BSTR),
            method<&_ShellMan::FindCurrentUser>("FindCurrentUser", 0x60030003, {}, VT_BSTR),
            method<&_ShellMan::LockWindow>("LockWindow", 0x60030004, {byRef("hwnd", VT_I4)}),
            method<&_ShellMan::UnlockWindow>("UnlockWindow", 0x60030005, {}),
            method<&_ShellMan::GetDOSPathName>("GetDOSPathName", 0x60030006,
                                               {byVal("strPercorso", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::ResetDefaultPrinter>("ResetDefaultPrinter", 0x60030007, {}),
            method<&_ShellMan::GetDefaultPrinter>("GetDefaultPrinter", 0x60030008, {}, VT_BSTR),
            method<&_ShellMan::SetDefaultPrinter>("SetDefaultPrinter", 0x60030009,
                                                  {byRef("s", VT_BSTR)}),
            method<&_ShellMan::BrowseForFolder>(
                "BrowseForFolder", 0x6003000A,
                {byRef("handle", VT_I4), byVal("strTitolo", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::OpenFN>(
                "OpenFN", 0x6003000B,
                {optional(byVal("strTitoloFinestra", VT_BSTR), Variant(QString())),
                 optional(byVal("strPercorsoIniziale", VT_BSTR), Variant(QString())),
                 optional(byVal("strFiltro", VT_BSTR), Variant("Tutti i file|*.*"))},
                VT_BSTR),
            method<&_ShellMan::RemoveNullChars>("RemoveNullChars", 0x6003000C,
                                                {byVal("strString", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::SaveFN>(
                "SaveFN", 0x6003000D,
                {optional(byVal("strTitoloFinestra", VT_BSTR), Variant(QString())),
                 optional(byVal("strPercorsoIniziale", VT_BSTR), Variant(QString())),
                 optional(byRef("strFiltro", VT_BSTR), Variant("Tutti i file|*.*"))},
                VT_BSTR),
            method<&_ShellMan::OpenDocument>("OpenDocument", 0x6003000E,
                                             {byRef("hwnd", VT_I4), byRef("strDocPath", VT_BSTR)}),
            method<&_ShellMan::PrintDocument>("PrintDocument", 0x6003000F,
                                              {byRef("hwnd", VT_I4), byRef("strDocPath", VT_BSTR)}),
            method<&_ShellMan::CreaFileDiTesto>(
                "CreaFileDiTesto", 0x60030010,
                {byRef("NomeFile", VT_BSTR),
                 optional(byRef("Sovrascrivi", VT_BOOL), Variant(true))}),
            method<&_ShellMan::DyrSistema>("DyrSistema", 0x60030011, {}, VT_BSTR),
            method<&_ShellMan::FileEsiste>("FileEsiste", 0x60030012,
                                           {byRef("PercorsoFile", VT_BSTR)}, VT_BOOL),
        };
        return i;
    }();
    return info;
}

const ClassInfo& ShellMan::classInfo() {
    static const ClassInfo info{QStringLiteral("ShellMan"), CLSID_ShellMan, &interfaceInfo(),
                                nullptr, &createAndQuery<ShellMan>};
    return info;
}

HRESULT ShellMan::SetVar(QString*, QString*, QString*, const QString&) {
    return notImplemented("SetVar");
}

HRESULT ShellMan::GetVar(QString*, QString*, QString*, QString*) {
    return notImplemented("GetVar");
}

HRESULT ShellMan::FindComputerName(QString*) {
    return notImplemented("FindComputerName");
}

HRESULT ShellMan::FindCurrentUser(QString*) {
    return notImplemented("FindCurrentUser");
}

HRESULT ShellMan::LockWindow(int32_t*) {
    return notImplemented("LockWindow");
}

HRESULT ShellMan::UnlockWindow() {
    return notImplemented("UnlockWindow");
}

HRESULT ShellMan::GetDOSPathName(const QString&, QString*) {
    return notImplemented("GetDOSPathName");
}

HRESULT ShellMan::ResetDefaultPrinter() {
    return notImplemented("ResetDefaultPrinter");
}

HRESULT ShellMan::GetDefaultPrinter(QString*) {
    return notImplemented("GetDefaultPrinter");
}

HRESULT ShellMan::SetDefaultPrinter(QString*) {
    return notImplemented("SetDefaultPrinter");
}

HRESULT ShellMan::BrowseForFolder(int32_t*, const QString&, QString*) {
    return notImplemented("BrowseForFolder");
}

HRESULT ShellMan::OpenFN(const QString&, const QString&, const QString&, QString*) {
    return notImplemented("OpenFN");
}

HRESULT ShellMan::RemoveNullChars(const QString&, QString*) {
    return notImplemented("RemoveNullChars");
}

HRESULT ShellMan::SaveFN(const QString&, const QString&, QString*, QString*) {
    return notImplemented("SaveFN");
}

HRESULT ShellMan::OpenDocument(int32_t*, QString*) {
    return notImplemented("OpenDocument");
}

HRESULT ShellMan::PrintDocument(int32_t*, QString*) {
    return notImplemented("PrintDocument");
}

HRESULT ShellMan::CreaFileDiTesto(QString*, VARIANT_BOOL*) {
    return notImplemented("CreaFileDiTesto");
}

HRESULT ShellMan::DyrSistema(QString*) {
    return notImplemented("DyrSistema");
}

HRESULT ShellMan::FileEsiste(QString*, VARIANT_BOOL*) {
    return notImplemented("FileEsiste");
}

} // namespace tarv::utility
