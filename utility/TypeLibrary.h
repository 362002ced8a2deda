#pragma once

#include "MemberTable.h"

namespace tarv::utility {

// The library's type library: name TarvUtility, version 7.0, the eight classes in the
// library's order, the event interface and the enumerations Tipo_Speg and TipiDiRami.
const com::TypeLibInfo& typeLibrary();

// The programmatic identifier of a class ("TarvUtility.Math"), the source of its errors.
QString progIdOf(const char* className);

} // namespace tarv::utility
