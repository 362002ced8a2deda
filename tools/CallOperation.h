#pragma once

#include "ErrorInfo.h"
#include "MemberTable.h"
#include "Variant.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace tarv {

// One operation of tarv-call on its object:
//   Name=value       property put
//   Name             property get, or call without arguments
//   Name(arg, ...)   call; an empty argument leaves an optional argument out
// Literals are written as in C whatever the locale: numbers (-2, 1.005, 1e-07, 0xFF),
// "strings" with the escapes \" \\ \n \r \t and \0 (any other backslash stands for
// itself), True, False,
// Null, and the members of the library's enumerations by name.
struct CallOperation {
    enum Kind { Put, Get };
    Kind kind = Get;
    QString name;
    std::vector<std::optional<com::Variant>> args; // nullopt: left out
    com::Variant value;                            // of a put
};

using EnumLookup = std::function<bool(const QString& name, int32_t* value)>;

bool parseLiteral(const QString& text, const EnumLookup& enums, com::Variant* out, QString* error);
bool parseOperation(const QString& text, const EnumLookup& enums, CallOperation* op,
                    QString* error);

// A result or argument as the hosts print it: its text in the user's locale, "Null", the
// error number of an error value, "(oggetto)" for an object.
QString resultText(const com::Variant& value);

// Runs a Get operation on the object, every argument by reference, so that the values the
// member changes come back. On success `lines` holds what the hosts print, in order: the result
// (one line per item of a collection), unless the member is a Sub, then every by-reference
// argument the member changed as "name -> value"; `member` is the member found in the type
// information, null without it.
com::HRESULT callOperation(com::IDispatch* object, const com::InterfaceInfo* info,
                           const CallOperation& op, QStringList* lines,
                           const com::MemberInfo** member, com::ErrorInfo* failure);

} // namespace tarv
