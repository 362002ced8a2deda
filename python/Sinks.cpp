// What the components call back into Python: Python objects passed as objects (a form read by
// name for its hwnd) and the handlers of events.
#include "TarvPython.h"

#include "ComPtr.h"
#include "Conversions.h"
#include "Dispatch.h"

#include <vector>

namespace tarv::python {

using namespace tarv::com;

namespace {

// Identifies our own wrapper of a Python object, so that it comes back as that object.
constexpr IID IID_PythonObject = {
    0x6b1f2e47, 0x93a4, 0x4c1e, {0x9d, 0x2a, 0x51, 0x7c, 0x0e, 0x8f, 0x33, 0xa1}};

// The Python error that is being raised, as text, cleared.
QString takePythonError() {
    PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    QString text;
    if (value) {
        PyObject* s = PyObject_Str(value);
        if (s)
            text = QStringLiteral("%1: %2").arg(
                QString::fromUtf8(reinterpret_cast<PyTypeObject*>(type)->tp_name), toQString(s));
        Py_XDECREF(s);
    }
    PyErr_Clear();
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
    return text;
}

// The arguments of a call in the order they were written (DISPPARAMS holds them last first);
// null with the Python error set when one has no Python value.
PyObject* argumentTuple(const DISPPARAMS* params) {
    const uint32_t n = params ? params->cArgs : 0;
    PyObject* args = PyTuple_New(n);
    for (uint32_t i = 0; args && i < n; ++i) {
        PyObject* v = fromVariant(params->rgvarg[n - 1 - i]);
        if (!v) {
            Py_CLEAR(args);
            break;
        }
        PyTuple_SET_ITEM(args, i, v);
    }
    return args;
}

// An IDispatch with its count; the Python object is touched only with the interpreter lock.
class PythonBase : public IDispatch {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        if (out)
            *out = nullptr;
        return DISP_E_BADINDEX;
    }

protected:
    virtual ~PythonBase() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

// A Python object as an object of the component layer: dispatch ids are given to attribute
// names as they are asked for; a get reads the attribute (calling it when it is callable and
// arguments are given), a put assigns it.
class PythonDispatch final : public PythonBase {
public:
    explicit PythonDispatch(PyObject* object) : m_object(object) { Py_INCREF(object); }

    PyObject* object() const { return m_object; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_PythonObject) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetIDsOfNames(REFIID, const QString* names, uint32_t count, LCID,
                          DISPID* ids) override {
        if (!names || !ids)
            return E_POINTER;
        if (count == 0)
            return S_OK;
        const PyGILState_STATE gil = PyGILState_Ensure();
        PyObject* name = fromQString(names[0]);
        const bool has = name && PyObject_HasAttr(m_object, name);
        Py_XDECREF(name);
        PyErr_Clear();
        PyGILState_Release(gil);
        for (uint32_t i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        if (!has)
            return DISP_E_UNKNOWNNAME;
        int found = -1;
        for (size_t i = 0; i < m_names.size(); ++i)
            if (m_names[i] == names[0])
                found = int(i);
        if (found < 0) {
            m_names.push_back(names[0]);
            found = int(m_names.size() - 1);
        }
        ids[0] = found + 1;
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant* result,
                   EXCEPINFO* excep, uint32_t*) override {
        if (id < 1 || size_t(id) > m_names.size())
            return DISP_E_MEMBERNOTFOUND;
        if (!Py_IsInitialized())
            return E_UNEXPECTED;
        const PyGILState_STATE gil = PyGILState_Ensure();
        const HRESULT hr = call(m_names[size_t(id - 1)], flags, params, result, excep);
        PyGILState_Release(gil);
        return hr;
    }

protected:
    ~PythonDispatch() override {
        if (Py_IsInitialized()) {
            const PyGILState_STATE gil = PyGILState_Ensure();
            Py_DECREF(m_object);
            PyGILState_Release(gil);
        }
    }

private:
    HRESULT fromPython(EXCEPINFO* excep) {
        const QString text = takePythonError();
        if (excep) {
            excep->scode = E_FAIL;
            excep->bstrDescription = text;
            excep->bstrSource = QStringLiteral("Python");
        }
        return DISP_E_EXCEPTION;
    }

    HRESULT call(const QString& name, uint16_t flags, DISPPARAMS* params, Variant* result,
                 EXCEPINFO* excep) {
        PyObject* pyName = fromQString(name);
        if (!pyName)
            return fromPython(excep);
        const uint32_t n = params ? params->cArgs : 0;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            PyObject* value = n == 1 ? fromVariant(params->rgvarg[0]) : nullptr;
            const int r = value ? PyObject_SetAttr(m_object, pyName, value) : -1;
            Py_XDECREF(value);
            Py_DECREF(pyName);
            return r < 0 ? fromPython(excep) : S_OK;
        }
        PyObject* attr = PyObject_GetAttr(m_object, pyName);
        Py_DECREF(pyName);
        if (!attr)
            return fromPython(excep);
        if ((flags & DISPATCH_METHOD) && PyCallable_Check(attr) &&
            (n > 0 || !(flags & DISPATCH_PROPERTYGET))) {
            PyObject* args = argumentTuple(params);
            PyObject* r = args ? PyObject_Call(attr, args, nullptr) : nullptr;
            Py_XDECREF(args);
            Py_DECREF(attr);
            attr = r;
            if (!attr)
                return fromPython(excep);
        }
        HRESULT hr = S_OK;
        if (result) {
            if (!toVariant(attr, result))
                hr = fromPython(excep);
        }
        Py_DECREF(attr);
        return hr;
    }

    PyObject* m_object;
    std::vector<QString> m_names;
};

// The sink of an object's events: event X calls the handler's OnX with the arguments; what it
// returns becomes the new value of the by-reference argument (of each, from a tuple, when there
// are several).
class EventSink final : public PythonBase {
public:
    EventSink(PyObject* handler, const InterfaceInfo& events, bool borrowed)
        : m_handler(handler), m_events(events), m_borrowed(borrowed) {
        if (!borrowed)
            Py_INCREF(handler);
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == m_events.iid) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetIDsOfNames(REFIID, const QString* names, uint32_t count, LCID,
                          DISPID* ids) override {
        return dispatchGetIDsOfNames(m_events, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS* params, Variant*,
                   EXCEPINFO* excep, uint32_t*) override {
        const MemberInfo* m = m_events.find(id, MemberKind::Method);
        if (!m)
            return DISP_E_MEMBERNOTFOUND;
        if (!Py_IsInitialized())
            return E_UNEXPECTED;
        const PyGILState_STATE gil = PyGILState_Ensure();
        const HRESULT hr = handle(*m, params, excep);
        PyGILState_Release(gil);
        return hr;
    }

protected:
    ~EventSink() override {
        if (!m_borrowed && Py_IsInitialized()) {
            const PyGILState_STATE gil = PyGILState_Ensure();
            Py_DECREF(m_handler);
            PyGILState_Release(gil);
        }
    }

private:
    HRESULT handle(const MemberInfo& m, DISPPARAMS* params, EXCEPINFO* excep) {
        const QString method = QStringLiteral("On") + m.name;
        PyObject* name = fromQString(method);
        PyObject* fn = name ? PyObject_GetAttr(m_handler, name) : nullptr;
        Py_XDECREF(name);
        if (!fn) {
            // A handler need not handle every event.
            PyErr_Clear();
            return S_OK;
        }
        PyObject* args = argumentTuple(params);
        PyObject* r = args ? PyObject_Call(fn, args, nullptr) : nullptr;
        Py_XDECREF(args);
        Py_DECREF(fn);
        if (!r) {
            // The handler's traceback goes where Python reports errors nobody can catch; the
            // object that raised the event learns that its handler failed.
            PyObject *type, *value, *tb;
            PyErr_Fetch(&type, &value, &tb);
            PyErr_NormalizeException(&type, &value, &tb);
            QString text;
            if (PyObject* str = value ? PyObject_Str(value) : nullptr) {
                text = QStringLiteral("%1: %2").arg(
                    QString::fromUtf8(reinterpret_cast<PyTypeObject*>(type)->tp_name),
                    toQString(str));
                Py_DECREF(str);
            }
            PyErr_Clear();
            PyErr_Restore(type, value, tb);
            PyObject* where = fromQString(method);
            PyErr_WriteUnraisable(where);
            Py_XDECREF(where);
            const QString description =
                QStringLiteral("Il gestore %1 ha sollevato %2").arg(method, text);
            if (excep) {
                excep->scode = E_FAIL;
                excep->bstrDescription = description;
                excep->bstrSource = QStringLiteral("Python");
                return DISP_E_EXCEPTION;
            }
            // Raised by the object itself (no exception information is asked for): the
            // thread's error information reaches whoever called the member that raised it.
            return fail(E_FAIL, description, QStringLiteral("Python"));
        }
        HRESULT hr = S_OK;
        if (r != Py_None)
            hr = writeBack(params, r);
        Py_DECREF(r);
        return hr;
    }

    // The handler's result into the by-reference arguments, in each one's type.
    HRESULT writeBack(DISPPARAMS* params, PyObject* r) {
        std::vector<const Variant*> refs;
        const uint32_t n = params ? params->cArgs : 0;
        for (uint32_t i = 0; i < n; ++i)
            if (params->rgvarg[n - 1 - i].isByRef())
                refs.push_back(&params->rgvarg[n - 1 - i]);
        if (refs.empty())
            return S_OK;
        std::vector<PyObject*> values;
        if (refs.size() == 1) {
            values.push_back(r);
        } else if (PyTuple_Check(r) && size_t(PyTuple_GET_SIZE(r)) == refs.size()) {
            for (size_t i = 0; i < refs.size(); ++i)
                values.push_back(PyTuple_GET_ITEM(r, Py_ssize_t(i)));
        } else {
            return S_OK;
        }
        for (size_t i = 0; i < refs.size(); ++i) {
            Variant v;
            if (!toVariant(values[i], &v)) {
                PyErr_WriteUnraisable(r);
                return DISP_E_TYPEMISMATCH;
            }
            Variant converted;
            if (refs[i]->type() == VT_VARIANT)
                converted = v;
            else if (HRESULT hr = changeType(v, refs[i]->type(), &converted); FAILED(hr))
                return hr;
            refs[i]->assignThrough(converted);
        }
        return S_OK;
    }

    PyObject* m_handler;
    const InterfaceInfo& m_events;
    bool m_borrowed;
};

const InterfaceInfo* eventsOf(const InterfaceInfo* info) {
    if (!info || !info->typeLib)
        return nullptr;
    for (const ClassInfo* c : info->typeLib->classes)
        if (c->defaultInterface == info)
            return c->eventInterface;
    return nullptr;
}

} // namespace

IDispatch* newPythonDispatch(PyObject* object) {
    return new PythonDispatch(object);
}

PyObject* pythonObjectOf(IDispatch* dispatch) {
    void* p = nullptr;
    if (FAILED(dispatch->QueryInterface(IID_PythonObject, &p)) || !p)
        return nullptr;
    auto* own = static_cast<PythonDispatch*>(static_cast<IDispatch*>(p));
    PyObject* object = own->object();
    own->Release();
    return object;
}

bool connectEvents(ObjectData* object, PyObject* handler, bool borrowed, uint32_t* cookie,
                   IConnectionPoint** point) {
    const InterfaceInfo* events = eventsOf(object->info);
    ComPtr<IConnectionPointContainer> container;
    if (!events || FAILED(object->dispatch->QueryInterface(IID_IConnectionPointContainer,
                                                           container.putVoid()))) {
        raiseComError(ErrorInfo{CONNECT_E_NOCONNECTION,
                                QStringLiteral("L'oggetto %1 non ha eventi")
                                    .arg(QString::fromUtf8(Py_TYPE(object)->tp_name)),
                                QString()});
        return false;
    }
    ComPtr<IConnectionPoint> cp;
    if (HRESULT hr = container->FindConnectionPoint(events->iid, cp.put()); FAILED(hr)) {
        raiseComError(hr);
        return false;
    }
    auto* sink = new EventSink(handler, *events, borrowed);
    const HRESULT hr = cp->Advise(sink, cookie);
    sink->Release();
    if (FAILED(hr)) {
        raiseComError(hr);
        return false;
    }
    *point = cp.detach();
    return true;
}

} // namespace tarv::python
