// Values between Python and the component layer, tarv.ByRef and tarv.ComError.
#include "TarvPython.h"

#include "Collection.h"
#include "ComPtr.h"
#include "Conversions.h"

#include <structmember.h>

#include <cmath>

namespace tarv::python {

using namespace tarv::com;

PyObject* ComErrorType = nullptr;
PyObject* MemberErrorType = nullptr;

namespace {

PyObject* g_decimalType = nullptr;
PyObject* g_datetimeType = nullptr;

PyObject* importAttr(const char* module, const char* name) {
    PyObject* m = PyImport_ImportModule(module);
    if (!m)
        return nullptr;
    PyObject* attr = PyObject_GetAttrString(m, name);
    Py_DECREF(m);
    return attr;
}

// ---- tarv.ByRef ---------------------------------------------------------------------------

int byRefInit(PyObject* self, PyObject* args, PyObject* kwds) {
    static const char* names[] = {"value", nullptr};
    PyObject* value = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwds, "|O:ByRef", const_cast<char**>(names), &value))
        return -1;
    Py_INCREF(value);
    Py_XSETREF(reinterpret_cast<ByRefData*>(self)->value, value);
    return 0;
}

void byRefDealloc(PyObject* self) {
    Py_XDECREF(reinterpret_cast<ByRefData*>(self)->value);
    Py_TYPE(self)->tp_free(self);
}

PyObject* byRefRepr(PyObject* self) {
    PyObject* v = reinterpret_cast<ByRefData*>(self)->value;
    return PyUnicode_FromFormat("tarv.ByRef(%R)", v ? v : Py_None);
}

PyMemberDef byRefMembers[] = {
    {"value", T_OBJECT, offsetof(ByRefData, value), 0,
     "Il valore: prima della chiamata quello passato, dopo quello che il membro vi ha scritto."},
    {nullptr, 0, 0, 0, nullptr}};

} // namespace

PyTypeObject ByRefType = [] {
    PyTypeObject t{PyVarObject_HEAD_INIT(nullptr, 0)};
    t.tp_name = "tarv.ByRef";
    t.tp_basicsize = sizeof(ByRefData);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_doc = "ByRef(value=None)\n\nUn argomento passato per riferimento: dopo la chiamata "
               ".value contiene quello che il membro vi ha scritto.";
    t.tp_init = byRefInit;
    t.tp_new = PyType_GenericNew;
    t.tp_dealloc = byRefDealloc;
    t.tp_repr = byRefRepr;
    t.tp_members = byRefMembers;
    return t;
}();

bool initValues(PyObject* module) {
    if (PyType_Ready(&ByRefType) < 0)
        return false;
    Py_INCREF(&ByRefType);
    if (PyModule_AddObject(module, "ByRef", reinterpret_cast<PyObject*>(&ByRefType)) < 0)
        return false;
    ComErrorType = PyErr_NewExceptionWithDoc(
        "tarv.ComError",
        "L'errore di una chiamata: number (il numero di errore di Basic: 429, 438, 13, 5...), "
        "hresult, description e source.",
        PyExc_Exception, nullptr);
    if (!ComErrorType)
        return false;
    PyObject* bases = PyTuple_Pack(2, ComErrorType, PyExc_AttributeError);
    MemberErrorType = PyErr_NewExceptionWithDoc(
        "tarv.MemberNotFoundError",
        "Errore 438: l'oggetto non ha la proprietà o il metodo (anche un AttributeError).", bases,
        nullptr);
    Py_DECREF(bases);
    if (!MemberErrorType)
        return false;
    Py_INCREF(ComErrorType);
    Py_INCREF(MemberErrorType);
    if (PyModule_AddObject(module, "ComError", ComErrorType) < 0 ||
        PyModule_AddObject(module, "MemberNotFoundError", MemberErrorType) < 0)
        return false;
    g_decimalType = importAttr("decimal", "Decimal");
    g_datetimeType = importAttr("datetime", "datetime");
    return g_decimalType && g_datetimeType;
}

QString errorText(const ErrorInfo& e) {
    return QStringLiteral("Errore %1 (0x%2): %3")
        .arg(e.basicNumber())
        .arg(QString::number(uint32_t(e.number), 16).toUpper(), 8, QLatin1Char('0'))
        .arg(e.description.isEmpty() ? standardDescription(e.number) : e.description);
}

PyObject* raiseComError(const ErrorInfo& error) {
    ErrorInfo e = error;
    if (e.description.isEmpty())
        e.description = standardDescription(e.number);
    const int number = e.basicNumber();
    PyObject* type = number == 438 ? MemberErrorType : ComErrorType;
    PyObject* message = fromQString(errorText(e));
    PyObject* exc = message ? PyObject_CallOneArg(type, message) : nullptr;
    Py_XDECREF(message);
    if (!exc)
        return nullptr;
    PyObject* values[] = {PyLong_FromLong(number), PyLong_FromLong(long(e.number)),
                          fromQString(e.description), fromQString(e.source)};
    const char* names[] = {"number", "hresult", "description", "source"};
    for (int i = 0; i < 4; ++i) {
        if (values[i])
            PyObject_SetAttrString(exc, names[i], values[i]);
        Py_XDECREF(values[i]);
    }
    PyErr_SetObject(type, exc);
    Py_DECREF(exc);
    return nullptr;
}

PyObject* raiseComError(HRESULT code, const QString& description) {
    return raiseComError(ErrorInfo{code, description, QString()});
}

bool toVariant(PyObject* value, Variant* out) {
    if (value == Py_None) {
        *out = Variant();
    } else if (PyBool_Check(value)) {
        *out = Variant(value == Py_True);
    } else if (PyLong_CheckExact(value) || PyLong_Check(value)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (v == -1 && PyErr_Occurred())
            return false;
        if (!overflow && v >= INT32_MIN && v <= INT32_MAX) {
            *out = Variant(int32_t(v));
        } else {
            // Beyond Long: a Double, as Basic widens; the member's type decides on overflow.
            const double d = PyLong_AsDouble(value);
            if (d == -1.0 && PyErr_Occurred()) {
                PyErr_Clear();
                raiseComError(DISP_E_OVERFLOW);
                return false;
            }
            *out = Variant(d);
        }
    } else if (PyFloat_Check(value)) {
        *out = Variant(PyFloat_AS_DOUBLE(value));
    } else if (PyUnicode_Check(value)) {
        *out = Variant(toQString(value));
    } else if (PyObject_TypeCheck(value, &ObjectType)) {
        *out = Variant(reinterpret_cast<ObjectData*>(value)->dispatch);
    } else if (PyObject_IsInstance(value, g_decimalType) == 1) {
        // The layer's numbers are Doubles: a Decimal goes as the nearest one.
        const double d = PyFloat_AsDouble(value);
        if (d == -1.0 && PyErr_Occurred())
            return false;
        if (!std::isfinite(d)) {
            raiseComError(DISP_E_OVERFLOW);
            return false;
        }
        *out = Variant(d);
    } else if (PyObject_IsInstance(value, g_datetimeType) == 1) {
        // No member of the suite takes a date.
        raiseComError(DISP_E_TYPEMISMATCH,
                      standardDescription(DISP_E_TYPEMISMATCH) +
                          QStringLiteral(" (i componenti non accettano date)"));
        return false;
    } else if (PyObject_TypeCheck(value, &ByRefType)) {
        PyErr_SetString(PyExc_TypeError, "tarv.ByRef vale solo come argomento di una chiamata");
        return false;
    } else {
        IDispatch* d = newPythonDispatch(value);
        *out = Variant::adopt(d);
    }
    return true;
}

PyObject* fromVariant(const Variant& value) {
    if (value.isByRef())
        return fromVariant(value.dereferenced());
    switch (value.type()) {
    case VT_EMPTY:
    case VT_NULL:
        Py_RETURN_NONE;
    case VT_I2:
        return PyLong_FromLong(value.toI2());
    case VT_I4:
        return PyLong_FromLong(value.toI4());
    case VT_UI1:
        return PyLong_FromLong(value.toUI1());
    case VT_R8:
        return PyFloat_FromDouble(value.toR8());
    case VT_BOOL:
        return PyBool_FromLong(value.toBool());
    case VT_BSTR:
        return fromQString(value.strRef());
    case VT_DISPATCH:
        return wrapDispatch(value.toDispatch());
    case VT_UNKNOWN: {
        ComPtr<IDispatch> d;
        if (value.toUnknown() &&
            SUCCEEDED(value.toUnknown()->QueryInterface(IID_IDispatch, d.putVoid())))
            return wrapDispatch(d.get());
        Py_RETURN_NONE;
    }
    case VT_ERROR:
        if (value.isMissing())
            Py_RETURN_NONE;
        return PyLong_FromLong(long(value.toError()));
    default:
        Py_RETURN_NONE;
    }
}

} // namespace tarv::python
