#pragma once
// The Python host: the suite's components late-bound from Python. Shared declarations of the
// extension module `tarv._tarv`.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "ErrorInfo.h"
#include "Interfaces.h"
#include "MemberTable.h"
#include "Variant.h"

#include <atomic>

namespace tarv::python {

// A dispatched object as Python sees it. Every interface with type information gets its own
// Python type (a subclass of tarv.Object) whose members are descriptors made once from the
// member table, so that names are resolved once per interface and member, not per call.
struct ObjectData {
    PyObject_HEAD com::IDispatch* dispatch;
    const com::InterfaceInfo* info; // null when the object has no type information
    // The connection of DispatchWithEvents, whose handler is the object itself.
    com::IConnectionPoint* point;
    uint32_t cookie;
};

extern PyTypeObject ObjectType;   // tarv.Object
extern PyTypeObject ByRefType;    // tarv.ByRef
extern PyObject* ComErrorType;    // tarv.ComError
extern PyObject* MemberErrorType; // tarv.MemberNotFoundError (ComError, AttributeError)

struct ByRefData {
    PyObject_HEAD PyObject* value;
};

bool initTypes(PyObject* module);

// A Python object for an object of the component layer (a new reference; None for Nothing).
// An object that wraps a Python object gives that Python object back.
PyObject* wrapDispatch(com::IDispatch* dispatch);
// The Python type of objects of this interface (a borrowed reference, made on first use).
PyTypeObject* typeFor(const com::InterfaceInfo* info);

// Values both ways. A Python object that is no value the layer knows is passed as an object
// whose attributes the component reads and calls by name.
bool toVariant(PyObject* value, com::Variant* out);
PyObject* fromVariant(const com::Variant& value);

// Raises tarv.ComError (tarv.MemberNotFoundError for 438) and returns null.
PyObject* raiseComError(const com::ErrorInfo& error);
PyObject* raiseComError(com::HRESULT code, const QString& description = QString());
// The error text of tarv-call: "Errore 438 (0x80020006): ...".
QString errorText(const com::ErrorInfo& error);

// Calls a member of the object: positional arguments, then keyword arguments by parameter name.
PyObject* invokeMember(ObjectData* self, com::DISPID id, uint16_t flags,
                       const com::MemberInfo* member, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames);
PyObject* getMember(ObjectData* self, PyObject* name);
int putMember(ObjectData* self, const QString& name, PyObject* value);

// IDispatch over a Python object: attributes read, written and called by name.
com::IDispatch* newPythonDispatch(PyObject* object);
// The Python object behind one of those, or null.
PyObject* pythonObjectOf(com::IDispatch* dispatch);
// Connects handler (its methods OnX for event X) to the object's events. When borrowed, the
// sink does not hold the handler (it is the object itself and unadvises when it dies).
bool connectEvents(ObjectData* object, PyObject* handler, bool borrowed, uint32_t* cookie,
                   com::IConnectionPoint** point);

inline QString toQString(PyObject* text) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
    return utf8 ? QString::fromUtf8(utf8, size) : QString();
}
inline PyObject* fromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return PyUnicode_FromStringAndSize(utf8.constData(), utf8.size());
}

} // namespace tarv::python
