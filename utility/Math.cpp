#include "Math.h"

#include "TypeLibrary.h"

#include "Rounding.h"

namespace tarv::utility {

using namespace com;

Math::Math() : DispatchObject(interfaceInfo(), progIdOf("Math")) {}

const InterfaceInfo& Math::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Math");
        i.iid = IID__Math;
        i.members = {
            method<&_Math::NDec>("NDec", 0x60030000, {byRef("Numero", VT_VARIANT)}, VT_UI1),
            method<&_Math::Intero>("Intero", 0x60030001, {byRef("Numero", VT_VARIANT)}, VT_VARIANT),
            method<&_Math::Round>(
                "Round", 0x60030002,
                {byRef("Numero", VT_R8), byRef("Decimali", VT_I2), byRef("Tipo", VT_UI1)}, VT_R8),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Math::classInfo() {
    static const ClassInfo info{QStringLiteral("Math"), CLSID_Math, &interfaceInfo(), nullptr,
                                &createAndQuery<Math>};
    return info;
}

namespace {

// Variants cross to the numeric helpers as NumberArg; objects and error values have no
// number and no text.
bool toNumberArg(const Variant& in, NumberArg* out) {
    const Variant v = in.dereferenced();
    switch (v.vt()) {
    case VT_EMPTY:
        *out = NumberArg::empty();
        return true;
    case VT_NULL:
        *out = NumberArg::null();
        return true;
    case VT_I2:
        *out = NumberArg::fromInteger(v.toI2());
        return true;
    case VT_I4:
        *out = NumberArg::fromInteger(v.toI4());
        return true;
    case VT_UI1:
        *out = NumberArg::fromInteger(v.toUI1());
        return true;
    case VT_R8:
        *out = NumberArg::fromDouble(v.toR8());
        return true;
    case VT_BSTR:
        *out = NumberArg::fromString(v.toStr());
        return true;
    case VT_BOOL:
        *out = NumberArg::fromBoolean(v.toBool());
        return true;
    default:
        return false;
    }
}

} // namespace

HRESULT Math::NDec(Variant* Numero, uint8_t* result) {
    if (!Numero || !result)
        return E_POINTER;
    NumberArg arg;
    if (!toNumberArg(*Numero, &arg))
        return raise(DISP_E_TYPEMISMATCH);
    const Checked<std::uint8_t> n = Rounding::NDec(arg);
    if (!n)
        return raise(HRESULT(n.error().hresult), n.error().description);
    *result = n.value();
    return S_OK;
}

HRESULT Math::Intero(Variant* Numero, Variant* result) {
    if (!Numero || !result)
        return E_POINTER;
    NumberArg arg;
    if (!toNumberArg(*Numero, &arg))
        return raise(DISP_E_TYPEMISMATCH);
    const NumberArg part = Rounding::Intero(arg);
    // The integer part comes back as text; otherwise the argument itself, with its own type.
    *result = part.kind == NumberArg::Kind::String ? Variant(part.string) : Numero->dereferenced();
    return S_OK;
}

HRESULT Math::Round(double* Numero, int16_t* Decimali, uint8_t* Tipo, double* result) {
    if (!Numero || !Decimali || !Tipo || !result)
        return E_POINTER;
    const Checked<double> r = Rounding::Round(*Numero, *Decimali, *Tipo);
    if (!r)
        return raise(HRESULT(r.error().hresult), r.error().description);
    *result = r.value();
    return S_OK;
}

} // namespace tarv::utility
