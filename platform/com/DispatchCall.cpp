#include "DispatchCall.h"

namespace tarv::com {

HRESULT invokeById(IDispatch* object, DISPID id, uint16_t flags, std::vector<Variant>& args,
                   Variant* result, ErrorInfo* error) {
    if (!object)
        return E_POINTER;
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    DISPPARAMS dp;
    dp.rgvarg = reversed.data();
    dp.cArgs = uint32_t(reversed.size());
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &put;
        dp.cNamedArgs = 1;
    }
    EXCEPINFO excep;
    uint32_t argErr = 0;
    clearErrorInfo();
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &dp, result, &excep, &argErr);
    if (FAILED(hr) && error)
        *error = errorFromInvoke(hr, excep);
    return hr == DISP_E_EXCEPTION ? (excep.scode ? excep.scode : hr) : hr;
}

HRESULT invokeByName(IDispatch* object, const QString& name, uint16_t flags,
                     std::vector<Variant>& args, Variant* result, ErrorInfo* error) {
    if (!object)
        return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    if (FAILED(hr)) {
        if (error)
            *error = ErrorInfo{hr, QStringLiteral("%1: %2").arg(standardDescription(hr), name),
                               QString()};
        return hr;
    }
    return invokeById(object, id, flags, args, result, error);
}

HRESULT call(IDispatch* object, const QString& name, std::vector<Variant> args, Variant* result,
             ErrorInfo* error) {
    return invokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, result, error);
}

HRESULT getProperty(IDispatch* object, const QString& name, Variant* result, ErrorInfo* error) {
    std::vector<Variant> none;
    return invokeByName(object, name, DISPATCH_PROPERTYGET, none, result, error);
}

HRESULT putProperty(IDispatch* object, const QString& name, const Variant& value,
                    ErrorInfo* error) {
    std::vector<Variant> args{value};
    return invokeByName(object, name, DISPATCH_PROPERTYPUT, args, nullptr, error);
}

} // namespace tarv::com
