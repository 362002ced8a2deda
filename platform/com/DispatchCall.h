#pragma once

#include "ErrorInfo.h"
#include "Interfaces.h"
#include "Variant.h"

#include <QString>

#include <vector>

namespace tarv::com {

// Late-bound calls for hosts: by name or dispatch id, arguments left to right (a
// Variant::missing() leaves an optional argument out; a Variant::byRef(...) lets the member
// write back). On failure `error` receives number, description and source.
HRESULT invokeByName(IDispatch* object, const QString& name, uint16_t flags,
                     std::vector<Variant>& args, Variant* result, ErrorInfo* error = nullptr);
HRESULT invokeById(IDispatch* object, DISPID id, uint16_t flags, std::vector<Variant>& args,
                   Variant* result, ErrorInfo* error = nullptr);

// Method call or property get ("x = obj.Name(args)").
HRESULT call(IDispatch* object, const QString& name, std::vector<Variant> args,
             Variant* result = nullptr, ErrorInfo* error = nullptr);
HRESULT getProperty(IDispatch* object, const QString& name, Variant* result,
                    ErrorInfo* error = nullptr);
HRESULT putProperty(IDispatch* object, const QString& name, const Variant& value,
                    ErrorInfo* error = nullptr);

} // namespace tarv::com
