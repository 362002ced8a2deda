// The extension module tarv._tarv: Dispatch, DispatchWithEvents, WithEvents, and the command
// line of `python3 -m tarv`.
#include "TarvPython.h"

#include "CallOperation.h"
#include "ComPtr.h"
#include "Conversions.h"
#include "Creation.h"
#include "DispatchCall.h"

#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <memory>
#include <thread>

namespace tarv::python {

using namespace tarv::com;

namespace {

std::thread::id g_importThread;

// The component layer pumps events and starts worker threads through Qt: a console Python
// gets a QCoreApplication at its first creation, on the thread that imported the module. A Qt
// program (PyQt6) has its own application already, which makes it a GUI host.
void ensureApplication() {
    if (QCoreApplication::instance() || std::this_thread::get_id() != g_importThread)
        return;
    static int argc = 1;
    static char name[] = "python3";
    static char* argv[] = {name, nullptr};
    // Qt selects the user's locale (setlocale LC_ALL ""), as every program of the suite runs;
    // Python's own number formatting does not depend on it. The application stays until the
    // process ends: destroyed among the exit handlers, it would outlive parts of Qt.
    new QCoreApplication(argc, argv);
}

PyObject* create(PyObject* id) {
    if (PyObject_TypeCheck(id, &ObjectType)) {
        Py_INCREF(id);
        return id;
    }
    if (!PyUnicode_Check(id)) {
        PyErr_SetString(PyExc_TypeError,
                        "Dispatch vuole un identificatore di programma o di classe (str)");
        return nullptr;
    }
    ensureApplication();
    const QString text = toQString(id);
    ComPtr<IDispatch> object;
    HRESULT hr;
    Py_BEGIN_ALLOW_THREADS clearErrorInfo();
    hr = createObject(text, object.put());
    Py_END_ALLOW_THREADS if (FAILED(hr)) {
        ErrorInfo e = takeErrorInfo();
        if (e.number == S_OK)
            e.number = hr;
        return raiseComError(e);
    }
    return wrapDispatch(object.get());
}

PyObject* dispatch(PyObject*, PyObject* const* args, Py_ssize_t n) {
    if (n != 1) {
        PyErr_SetString(PyExc_TypeError, "Dispatch(progid_or_clsid)");
        return nullptr;
    }
    return create(args[0]);
}

// A type that is both the object's and the handler's, once per pair.
PyObject* combinedType(PyTypeObject* objectType, PyObject* handlerClass) {
    static PyObject* cache = PyDict_New();
    PyObject* key = PyTuple_Pack(2, reinterpret_cast<PyObject*>(objectType), handlerClass);
    if (!key)
        return nullptr;
    PyObject* type = PyDict_GetItemWithError(cache, key);
    if (type) {
        Py_DECREF(key);
        Py_INCREF(type);
        return type;
    }
    PyObject* name = PyObject_GetAttrString(handlerClass, "__name__");
    PyObject* dict = PyDict_New();
    PyObject* module = PyUnicode_FromString("tarv");
    if (dict && module)
        PyDict_SetItemString(dict, "__module__", module);
    type = name && dict ? PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyType_Type), "O(OO)O",
                                                name, handlerClass, objectType, dict)
                        : nullptr;
    Py_XDECREF(name);
    Py_XDECREF(dict);
    Py_XDECREF(module);
    if (type && PyDict_SetItem(cache, key, type) < 0)
        Py_CLEAR(type);
    Py_DECREF(key);
    return type;
}

PyObject* dispatchWithEvents(PyObject*, PyObject* const* args, Py_ssize_t n) {
    if (n != 2 || !PyType_Check(args[1])) {
        PyErr_SetString(PyExc_TypeError, "DispatchWithEvents(progid_or_clsid, HandlerClass)");
        return nullptr;
    }
    PyObject* plain = create(args[0]);
    if (!plain)
        return nullptr;
    auto* source = reinterpret_cast<ObjectData*>(plain);
    PyObject* type = combinedType(Py_TYPE(plain), args[1]);
    if (!type) {
        Py_DECREF(plain);
        return nullptr;
    }
    auto* t = reinterpret_cast<PyTypeObject*>(type);
    auto* o = reinterpret_cast<ObjectData*>(t->tp_alloc(t, 0));
    Py_DECREF(type);
    if (!o) {
        Py_DECREF(plain);
        return nullptr;
    }
    o->dispatch = source->dispatch;
    o->dispatch->AddRef();
    o->info = source->info;
    Py_DECREF(plain);
    PyObject* self = reinterpret_cast<PyObject*>(o);
    // The handler's own initialisation, without arguments.
    PyObject* r = PyObject_CallMethod(self, "__init__", nullptr);
    if (!r) {
        Py_DECREF(self);
        return nullptr;
    }
    Py_DECREF(r);
    if (!connectEvents(o, self, true, &o->cookie, &o->point)) {
        Py_DECREF(self);
        return nullptr;
    }
    return self;
}

PyObject* withEvents(PyObject*, PyObject* const* args, Py_ssize_t n) {
    if (n != 2 || !PyType_Check(args[1])) {
        PyErr_SetString(PyExc_TypeError, "WithEvents(obj, HandlerClass)");
        return nullptr;
    }
    PyObject* object = create(args[0]);
    if (!object)
        return nullptr;
    PyObject* handler = PyObject_CallNoArgs(args[1]);
    uint32_t cookie = 0;
    IConnectionPoint* point = nullptr;
    // The connection lives as long as the object: it holds the handler.
    if (!handler ||
        !connectEvents(reinterpret_cast<ObjectData*>(object), handler, false, &cookie, &point)) {
        Py_XDECREF(handler);
        Py_DECREF(object);
        return nullptr;
    }
    point->Release();
    Py_DECREF(object);
    return handler;
}

// ---- python3 -m tarv: tarv-call's operations --------------------------------------------

void print(const QString& line, FILE* to = stdout) {
    std::fprintf(to, "%s\n", line.toLocal8Bit().constData());
}

// Runs the operations on the object like tarv-call: each result on its own line, then the
// by-reference arguments the member changed as "name -> value". 0, 1 after a failed call, 2
// for an operation that does not parse.
PyObject* runOperations(PyObject*, PyObject* const* args, Py_ssize_t n) {
    if (n != 2 || !PyUnicode_Check(args[0]) || !PyList_Check(args[1])) {
        PyErr_SetString(PyExc_TypeError, "_run(id, operations)");
        return nullptr;
    }
    PyObject* wrapped = create(args[0]);
    if (!wrapped) {
        PyObject *type, *value, *tb;
        PyErr_Fetch(&type, &value, &tb);
        PyObject* s = value ? PyObject_Str(value) : nullptr;
        print(s ? toQString(s) : QString(), stderr);
        Py_XDECREF(s);
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(tb);
        return PyLong_FromLong(1);
    }
    ComPtr<IDispatch> object(reinterpret_cast<ObjectData*>(wrapped)->dispatch);
    const InterfaceInfo* info = reinterpret_cast<ObjectData*>(wrapped)->info;
    Py_DECREF(wrapped);
    const EnumLookup enums = [info](const QString& name, int32_t* value) {
        return info && info->typeLib && info->typeLib->enumValue(name, value);
    };
    std::vector<QString> ops;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(args[1]); ++i) {
        PyObject* item = PyList_GET_ITEM(args[1], i);
        if (!PyUnicode_Check(item)) {
            PyErr_SetString(PyExc_TypeError, "le operazioni sono testi");
            return nullptr;
        }
        ops.push_back(toQString(item));
    }
    int status = 0;
    Py_BEGIN_ALLOW_THREADS for (const QString& text : ops) {
        CallOperation op;
        QString error;
        if (!parseOperation(text, enums, &op, &error)) {
            print(QStringLiteral("tarv: ") + error, stderr);
            status = 2;
            break;
        }
        ErrorInfo failure;
        if (op.kind == CallOperation::Put) {
            if (FAILED(putProperty(object.get(), op.name, op.value, &failure))) {
                print(errorText(failure), stderr);
                status = 1;
                break;
            }
            continue;
        }
        QStringList lines;
        const MemberInfo* member = nullptr;
        if (FAILED(callOperation(object.get(), info, op, &lines, &member, &failure))) {
            print(errorText(failure), stderr);
            status = 1;
            break;
        }
        for (const QString& line : lines)
            print(line);
    }
    std::fflush(stdout);
    Py_END_ALLOW_THREADS return PyLong_FromLong(status);
}

PyMethodDef methods[] = {
    {"Dispatch", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(dispatch)),
     METH_FASTCALL,
     "Dispatch(progid_or_clsid) -> Object\n\nCrea la classe registrata (TarvUtility.Math o "
     "{...}) e ne restituisce l'oggetto, i cui metodi e proprietà si raggiungono per nome."},
    {"DispatchWithEvents",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(dispatchWithEvents)), METH_FASTCALL,
     "DispatchWithEvents(progid_or_clsid, HandlerClass) -> Object\n\nCrea l'oggetto come "
     "Dispatch; il risultato è anche un'istanza di HandlerClass, il cui metodo OnX riceve "
     "l'evento X. Il valore restituito da un gestore diventa il nuovo valore dell'argomento "
     "per riferimento."},
    {"WithEvents", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(withEvents)),
     METH_FASTCALL,
     "WithEvents(obj, HandlerClass) -> handler\n\nCollega un'istanza di HandlerClass agli "
     "eventi di un oggetto esistente e la restituisce; resta collegata finché vive l'oggetto."},
    {"_run", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(runOperations)),
     METH_FASTCALL, "Le operazioni di python3 -m tarv sull'oggetto; lo stato d'uscita."},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef moduleDef = {PyModuleDef_HEAD_INIT, "tarv._tarv",
                         "I componenti della suite Tarv da Python, a late binding.", -1, methods};

} // namespace

} // namespace tarv::python

PyMODINIT_FUNC PyInit__tarv() {
    using namespace tarv::python;
    g_importThread = std::this_thread::get_id();
    PyObject* module = PyModule_Create(&moduleDef);
    if (!module)
        return nullptr;
    if (!initTypes(module)) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}
