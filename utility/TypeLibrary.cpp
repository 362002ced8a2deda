#include "TypeLibrary.h"

#include "Altro.h"
#include "CMouseWheel.h"
#include "Contabili.h"
#include "GestioneReg.h"
#include "Internet.h"
#include "Math.h"
#include "ShellMan.h"
#include "TarvUtility.h"
#include "Zip.h"

namespace tarv::utility {

QString progIdOf(const char* className) {
    return QStringLiteral("TarvUtility.") + QString::fromUtf8(className);
}

const com::TypeLibInfo& typeLibrary() {
    static const com::TypeLibInfo lib = [] {
        com::TypeLibInfo l;
        l.name = QStringLiteral("TarvUtility");
        l.libid = LIBID_TarvUtility;
        l.major = TarvUtilityVersionMajor;
        l.minor = TarvUtilityVersionMinor;
        l.classes = {&Math::classInfo(),        &Altro::classInfo(),    &CMouseWheel::classInfo(),
                     &Contabili::classInfo(),   &ShellMan::classInfo(), &Internet::classInfo(),
                     &GestioneReg::classInfo(), &Zip::classInfo()};
        l.eventInterfaces = {&CMouseWheel::eventInterface()};
        l.enums = {
            {QStringLiteral("Tipo_Speg"),
             GUID_Tipo_Speg,
             {{QStringLiteral("Disconnetti"), Disconnetti},
              {QStringLiteral("Forza"), Forza},
              {QStringLiteral("Riavvia"), Riavvia},
              {QStringLiteral("spegni"), spegni},
              {QStringLiteral("Spegni1"), Spegni1}}},
            {QStringLiteral("TipiDiRami"),
             GUID_TipiDiRami,
             {{QStringLiteral("CLASSES_ROOT"), CLASSES_ROOT},
              {QStringLiteral("CURRENT_USER"), CURRENT_USER},
              {QStringLiteral("LOCAL_MACHINE"), LOCAL_MACHINE},
              {QStringLiteral("USERS"), USERS}}},
        };
        return l;
    }();
    // The interfaces point back at their library (for enumerations in hosts and tools).
    static const bool linked = [] {
        for (const com::ClassInfo* c : lib.classes)
            const_cast<com::InterfaceInfo*>(c->defaultInterface)->typeLib = &lib;
        for (const com::InterfaceInfo* i : lib.eventInterfaces)
            const_cast<com::InterfaceInfo*>(i)->typeLib = &lib;
        return true;
    }();
    (void)linked;
    return lib;
}

} // namespace tarv::utility
