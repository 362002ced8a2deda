#pragma once

#include "Variant.h"

#include <QString>

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

} // namespace tarv
