// tarv.Object and the Python type of each interface: its methods and properties are
// descriptors made once from the member table, with docstrings that help() shows.
#include "TarvPython.h"

#include "Collection.h"
#include "ComPtr.h"
#include "Conversions.h"

#include <structmember.h>

#include <map>
#include <memory>

namespace tarv::python {

using namespace tarv::com;

namespace {

// A method (or a property read with arguments) of an interface; also the late-bound member of
// an object without type information (member null). Called with the object first, so that
// obj.Name(...) needs no bound method (a method descriptor).
struct MethodData {
    PyObject_HEAD vectorcallfunc vectorcall;
    const MemberInfo* member;
    DISPID id;
    uint16_t flags;
    PyObject* name;
    PyObject* doc;
};

// A property without arguments: read by attribute, written by assignment.
struct PropertyData {
    PyObject_HEAD DISPID id;
    bool hasGet;
    bool hasPut;
    bool hasPutRef;
    PyObject* name;
    PyObject* doc;
};

PyTypeObject MethodType{PyVarObject_HEAD_INIT(nullptr, 0)};
PyTypeObject PropertyType{PyVarObject_HEAD_INIT(nullptr, 0)};

constexpr size_t kInlineArgs = 8;

PyObject* methodVectorcall(PyObject* callable, PyObject* const* args, size_t nargsf,
                           PyObject* kwnames) {
    auto* m = reinterpret_cast<MethodData*>(callable);
    const Py_ssize_t n = PyVectorcall_NARGS(nargsf);
    if (n < 1 || !PyObject_TypeCheck(args[0], &ObjectType)) {
        PyErr_Format(PyExc_TypeError, "%U() va chiamato su un oggetto tarv", m->name);
        return nullptr;
    }
    return invokeMember(reinterpret_cast<ObjectData*>(args[0]), m->id, m->flags, m->member,
                        args + 1, n - 1, kwnames);
}

PyObject* methodGet(PyObject* self, PyObject* obj, PyObject*) {
    if (!obj || obj == Py_None) {
        Py_INCREF(self);
        return self;
    }
    return PyMethod_New(self, obj);
}

void methodDealloc(PyObject* self) {
    auto* m = reinterpret_cast<MethodData*>(self);
    Py_XDECREF(m->name);
    Py_XDECREF(m->doc);
    Py_TYPE(self)->tp_free(self);
}

PyMemberDef methodMembers[] = {
    {"__name__", T_OBJECT, offsetof(MethodData, name), READONLY, nullptr},
    {"__doc__", T_OBJECT, offsetof(MethodData, doc), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr}};

PyObject* propertyGet(PyObject* self, PyObject* obj, PyObject*) {
    auto* p = reinterpret_cast<PropertyData*>(self);
    if (!obj || obj == Py_None) {
        Py_INCREF(self);
        return self;
    }
    if (!PyObject_TypeCheck(obj, &ObjectType)) {
        PyErr_SetString(PyExc_TypeError, "proprietà di un oggetto tarv");
        return nullptr;
    }
    if (!p->hasGet)
        return raiseComError(
            ErrorInfo{controlError(451),
                      QStringLiteral("La proprietà %1 è di sola scrittura").arg(toQString(p->name)),
                      QString()});
    return invokeMember(reinterpret_cast<ObjectData*>(obj), p->id, DISPATCH_PROPERTYGET, nullptr,
                        nullptr, 0, nullptr);
}

int propertySet(PyObject* self, PyObject* obj, PyObject* value) {
    auto* p = reinterpret_cast<PropertyData*>(self);
    if (!value) {
        PyErr_Format(PyExc_AttributeError, "la proprietà %U non si può cancellare", p->name);
        return -1;
    }
    return putMember(reinterpret_cast<ObjectData*>(obj), toQString(p->name), value);
}

void propertyDealloc(PyObject* self) {
    auto* p = reinterpret_cast<PropertyData*>(self);
    Py_XDECREF(p->name);
    Py_XDECREF(p->doc);
    Py_TYPE(self)->tp_free(self);
}

PyMemberDef propertyMembers[] = {
    {"__name__", T_OBJECT, offsetof(PropertyData, name), READONLY, nullptr},
    {"__doc__", T_OBJECT, offsetof(PropertyData, doc), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr}};

bool readyDescriptorTypes() {
    MethodType.tp_name = "tarv.Method";
    MethodType.tp_basicsize = sizeof(MethodData);
    MethodType.tp_flags =
        Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_METHOD_DESCRIPTOR;
    MethodType.tp_vectorcall_offset = offsetof(MethodData, vectorcall);
    MethodType.tp_call = PyVectorcall_Call;
    MethodType.tp_descr_get = methodGet;
    MethodType.tp_dealloc = methodDealloc;
    MethodType.tp_members = methodMembers;
    MethodType.tp_doc = "Un metodo di un oggetto tarv.";
    PropertyType.tp_name = "tarv.Property";
    PropertyType.tp_basicsize = sizeof(PropertyData);
    PropertyType.tp_flags = Py_TPFLAGS_DEFAULT;
    PropertyType.tp_descr_get = propertyGet;
    PropertyType.tp_descr_set = propertySet;
    PropertyType.tp_dealloc = propertyDealloc;
    PropertyType.tp_members = propertyMembers;
    PropertyType.tp_doc = "Una proprietà di un oggetto tarv.";
    return PyType_Ready(&MethodType) == 0 && PyType_Ready(&PropertyType) == 0;
}

PyObject* newMethod(const MemberInfo* member, DISPID id, uint16_t flags, const QString& name,
                    const QString& doc) {
    auto* m = PyObject_New(MethodData, &MethodType);
    if (!m)
        return nullptr;
    m->vectorcall = methodVectorcall;
    m->member = member;
    m->id = id;
    m->flags = flags;
    m->name = fromQString(name);
    m->doc = fromQString(doc);
    return reinterpret_cast<PyObject*>(m);
}

// ---- Docstrings from the type library ---------------------------------------------------

QString pythonType(VarType t, const QString& typeName) {
    if (!typeName.isEmpty() && t != VT_I2 && t != VT_I4 && t != VT_UI1)
        return typeName;
    switch (t) {
    case VT_I2:
    case VT_I4:
    case VT_UI1:
        return typeName.isEmpty() ? QStringLiteral("int")
                                  : QStringLiteral("int (%1)").arg(typeName);
    case VT_R8:
        return QStringLiteral("float");
    case VT_BSTR:
        return QStringLiteral("str");
    case VT_BOOL:
        return QStringLiteral("bool");
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return QStringLiteral("object");
    case VT_VOID:
        return QStringLiteral("None");
    default:
        return QStringLiteral("Any");
    }
}

QString defaultText(const ParamInfo& p, const TypeLibInfo* lib) {
    if (lib && !p.typeName.isEmpty())
        for (const EnumInfo& e : lib->enums)
            if (e.name == p.typeName)
                for (const auto& [name, value] : e.members)
                    if (Variant(value) == p.defaultValue)
                        return name;
    const Variant d = p.defaultValue;
    if (d.type() == VT_BOOL)
        return d.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    QString text;
    toText(d, &text);
    if (d.type() == VT_BSTR)
        return QLatin1Char('"') + text + QLatin1Char('"');
    return text.isEmpty() ? QStringLiteral("None") : text;
}

QString methodDoc(const MemberInfo& m, const TypeLibInfo* lib) {
    QStringList params;
    QStringList refs;
    for (const ParamInfo& p : m.params) {
        QString s = QStringLiteral("%1: %2").arg(p.name, pythonType(p.type, p.typeName));
        if (p.optional)
            s += QStringLiteral(" = ") + defaultText(p, lib);
        params << s;
        if (p.byRef)
            refs << p.name;
    }
    QString doc =
        QStringLiteral("%1(%2) -> %3")
            .arg(m.name, params.join(QStringLiteral(", ")), pythonType(m.result, m.resultTypeName));
    if (!refs.isEmpty())
        doc += QStringLiteral("\n\nPer riferimento (tarv.ByRef): %1.")
                   .arg(refs.join(QStringLiteral(", ")));
    doc += QStringLiteral("\nDispatch id &H%1.")
               .arg(QString::number(uint32_t(m.dispid), 16).toUpper());
    return doc;
}

const ClassInfo* classOf(const InterfaceInfo* info) {
    if (!info->typeLib)
        return nullptr;
    for (const ClassInfo* c : info->typeLib->classes)
        if (c->defaultInterface == info)
            return c;
    return nullptr;
}

std::map<const InterfaceInfo*, PyTypeObject*>& typeCache() {
    static std::map<const InterfaceInfo*, PyTypeObject*> cache;
    return cache;
}

// ---- tarv.Object ------------------------------------------------------------------------

void objectDealloc(PyObject* self) {
    auto* o = reinterpret_cast<ObjectData*>(self);
    if (o->point) {
        o->point->Unadvise(o->cookie);
        o->point->Release();
        o->point = nullptr;
    }
    if (o->dispatch)
        o->dispatch->Release();
    o->dispatch = nullptr;
    // The subclasses' own deallocation releases their type.
    Py_TYPE(self)->tp_free(self);
}

PyObject* objectGetattro(PyObject* self, PyObject* name) {
    PyObject* r = PyObject_GenericGetAttr(self, name);
    if (r || !PyErr_ExceptionMatches(PyExc_AttributeError))
        return r;
    // Python's own names stay Python's.
    if (PyUnicode_GetLength(name) > 0 && PyUnicode_READ_CHAR(name, 0) == '_')
        return nullptr;
    PyErr_Clear();
    return getMember(reinterpret_cast<ObjectData*>(self), name);
}

int objectSetattro(PyObject* self, PyObject* name, PyObject* value) {
    // Properties of the type library and a handler's own attributes first.
    const int r = PyObject_GenericSetAttr(self, name, value);
    if (r == 0 || !value || !PyErr_ExceptionMatches(PyExc_AttributeError))
        return r;
    PyErr_Clear();
    return putMember(reinterpret_cast<ObjectData*>(self), toQString(name), value);
}

PyObject* objectRepr(PyObject* self) {
    auto* o = reinterpret_cast<ObjectData*>(self);
    if (o->info)
        return PyUnicode_FromFormat("<tarv.Object %s at %p>", Py_TYPE(self)->tp_name, self);
    return PyUnicode_FromFormat("<tarv.Object at %p>", self);
}

PyObject* objectIter(PyObject* self) {
    // A collection: its items through _NewEnum.
    PyObject* items = nullptr;
    std::vector<Variant> values;
    const HRESULT hr = collectionItems(reinterpret_cast<ObjectData*>(self)->dispatch, &values);
    if (FAILED(hr))
        return raiseComError(ErrorInfo{hr, QString(), QString()});
    items = PyList_New(Py_ssize_t(values.size()));
    if (!items)
        return nullptr;
    for (size_t i = 0; i < values.size(); ++i) {
        PyObject* v = fromVariant(values[i]);
        if (!v) {
            Py_DECREF(items);
            return nullptr;
        }
        PyList_SET_ITEM(items, Py_ssize_t(i), v);
    }
    PyObject* it = PyObject_GetIter(items);
    Py_DECREF(items);
    return it;
}

PyObject* objectDir(PyObject* self, PyObject*) {
    auto* o = reinterpret_cast<ObjectData*>(self);
    PyObject* list = PyList_New(0);
    if (!list)
        return nullptr;
    if (o->info)
        for (const MemberInfo& m : o->info->members) {
            if (m.hidden)
                continue;
            PyObject* n = fromQString(m.name);
            if (!n || (PySequence_Contains(list, n) == 0 && PyList_Append(list, n) < 0)) {
                Py_XDECREF(n);
                Py_DECREF(list);
                return nullptr;
            }
            Py_DECREF(n);
        }
    if (PyObject* dict = PyObject_GenericGetDict(self, nullptr)) {
        PyObject* keys = PyDict_Keys(dict);
        Py_DECREF(dict);
        if (keys) {
            PyObject* joined = PySequence_InPlaceConcat(list, keys);
            Py_DECREF(keys);
            Py_XDECREF(joined);
        }
    } else {
        PyErr_Clear();
    }
    return list;
}

PyMethodDef objectMethods[] = {{"__dir__", objectDir, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};

} // namespace

PyTypeObject ObjectType = [] {
    PyTypeObject t{PyVarObject_HEAD_INIT(nullptr, 0)};
    t.tp_name = "tarv.Object";
    t.tp_basicsize = sizeof(ObjectData);
    t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;
    t.tp_doc = "Un oggetto creato da tarv.Dispatch: metodi e proprietà raggiunti per nome.";
    t.tp_dealloc = objectDealloc;
    t.tp_getattro = objectGetattro;
    t.tp_setattro = objectSetattro;
    t.tp_repr = objectRepr;
    t.tp_iter = objectIter;
    t.tp_methods = objectMethods;
    return t;
}();

bool initTypes(PyObject* module) {
    extern bool initValues(PyObject*);
    if (!readyDescriptorTypes() || PyType_Ready(&ObjectType) < 0)
        return false;
    Py_INCREF(&ObjectType);
    if (PyModule_AddObject(module, "Object", reinterpret_cast<PyObject*>(&ObjectType)) < 0)
        return false;
    return initValues(module);
}

PyTypeObject* typeFor(const InterfaceInfo* info) {
    if (!info)
        return &ObjectType;
    auto& cache = typeCache();
    if (auto it = cache.find(info); it != cache.end())
        return it->second;
    const ClassInfo* cls = classOf(info);
    const TypeLibInfo* lib = info->typeLib;
    QString typeName = cls ? cls->name : info->name;
    QString doc =
        cls && lib
            ? QStringLiteral("%1: classe %2 (interfaccia %3 %4).")
                  .arg(lib->progId(*cls), cls->clsid.toString(), info->name, info->iid.toString())
            : QStringLiteral("Interfaccia %1 %2.").arg(info->name, info->iid.toString());
    if (cls && cls->eventInterface && !cls->eventInterface->members.empty()) {
        QStringList events;
        for (const MemberInfo& e : cls->eventInterface->members)
            events << QStringLiteral("On") + methodDoc(e, lib).section(QLatin1Char('\n'), 0, 0);
        doc += QStringLiteral("\n\nEventi (tarv.DispatchWithEvents, gestori OnX): ") +
               events.join(QStringLiteral("; "));
    }
    if (lib && !lib->enums.empty()) {
        QStringList enums;
        for (const EnumInfo& e : lib->enums) {
            QStringList members;
            for (const auto& [name, value] : e.members)
                members << QStringLiteral("%1 = %2").arg(name).arg(value);
            enums << QStringLiteral("%1: %2").arg(e.name, members.join(QStringLiteral(", ")));
        }
        doc += QStringLiteral("\n\nEnumerazioni: ") + enums.join(QStringLiteral("; "));
    }

    PyObject* dict = PyDict_New();
    if (!dict)
        return nullptr;
    PyObject* noSlots = PyTuple_New(0);
    PyObject* docObj = fromQString(doc);
    PyObject* module = PyUnicode_FromString("tarv");
    PyDict_SetItemString(dict, "__slots__", noSlots);
    PyDict_SetItemString(dict, "__doc__", docObj);
    PyDict_SetItemString(dict, "__module__", module);
    Py_XDECREF(noSlots);
    Py_XDECREF(docObj);
    Py_XDECREF(module);

    // The members of the library's enumerations, as the ints they are (g.CURRENT_USER).
    if (lib)
        for (const EnumInfo& e : lib->enums)
            for (const auto& [name, value] : e.members) {
                PyObject* v = PyLong_FromLong(value);
                if (v)
                    PyDict_SetItemString(dict, name.toUtf8().constData(), v);
                Py_XDECREF(v);
            }

    for (const MemberInfo& m : info->members) {
        if (m.hidden)
            continue;
        PyObject* key = fromQString(m.name);
        if (!key)
            break;
        if (PyDict_Contains(dict, key) == 1 && !PyLong_Check(PyDict_GetItem(dict, key))) {
            Py_DECREF(key);
            continue;
        }
        const MemberInfo* get = info->find(m.dispid, MemberKind::PropertyGet);
        const MemberInfo* put = info->find(m.dispid, MemberKind::PropertyPut);
        const MemberInfo* putRef = info->find(m.dispid, MemberKind::PropertyPutRef);
        PyObject* descr = nullptr;
        if (m.kind == MemberKind::Method || (get && !get->params.empty())) {
            const MemberInfo* callable = m.kind == MemberKind::Method ? &m : get;
            const uint16_t flags = m.kind == MemberKind::Method
                                       ? DISPATCH_METHOD
                                       : uint16_t(DISPATCH_METHOD | DISPATCH_PROPERTYGET);
            descr = newMethod(callable, m.dispid, flags, m.name, methodDoc(*callable, lib));
        } else {
            auto* p = PyObject_New(PropertyData, &PropertyType);
            if (p) {
                p->id = m.dispid;
                p->hasGet = get;
                p->hasPut = put;
                p->hasPutRef = putRef;
                p->name = fromQString(m.name);
                const VarType t = get ? get->result : (put ? put->params[0].type : VT_DISPATCH);
                const QString tn = get ? get->resultTypeName : QString();
                QString pd = QStringLiteral("%1: %2").arg(m.name, pythonType(t, tn));
                if (!get)
                    pd += QStringLiteral(" (sola scrittura)");
                else if (!put && !putRef)
                    pd += QStringLiteral(" (sola lettura)");
                pd += QStringLiteral("\nDispatch id &H%1.")
                          .arg(QString::number(uint32_t(m.dispid), 16).toUpper());
                p->doc = fromQString(pd);
            }
            descr = reinterpret_cast<PyObject*>(p);
        }
        if (!descr || PyDict_SetItem(dict, key, descr) < 0) {
            Py_XDECREF(descr);
            Py_DECREF(key);
            Py_DECREF(dict);
            return nullptr;
        }
        Py_DECREF(descr);
        Py_DECREF(key);
    }
    PyObject* type = PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyType_Type), "s(O)O",
                                           typeName.toUtf8().constData(),
                                           reinterpret_cast<PyObject*>(&ObjectType), dict);
    Py_DECREF(dict);
    if (!type)
        return nullptr;
    cache[info] = reinterpret_cast<PyTypeObject*>(type); // kept for the life of the process
    return reinterpret_cast<PyTypeObject*>(type);
}

PyObject* wrapDispatch(IDispatch* dispatch) {
    if (!dispatch)
        Py_RETURN_NONE;
    if (PyObject* own = pythonObjectOf(dispatch)) {
        Py_INCREF(own);
        return own;
    }
    const InterfaceInfo* info = nullptr;
    ComPtr<ITypeInfo> typeInfo;
    if (SUCCEEDED(dispatch->GetTypeInfo(0, 0, typeInfo.put())) && typeInfo)
        info = typeInfo->GetInterfaceInfo();
    PyTypeObject* type = typeFor(info);
    if (!type)
        return nullptr;
    auto* o = reinterpret_cast<ObjectData*>(type->tp_alloc(type, 0));
    if (!o)
        return nullptr;
    dispatch->AddRef();
    o->dispatch = dispatch;
    o->info = info;
    o->point = nullptr;
    o->cookie = 0;
    return reinterpret_cast<PyObject*>(o);
}

// ---- Calls --------------------------------------------------------------------------------

namespace {

// n value-initialised objects, on the stack for the usual argument counts.
template <class T> class Slots {
public:
    explicit Slots(size_t n) : m_n(n) {
        if (n > kInlineArgs) {
            m_heap = std::make_unique<T[]>(n);
            m_data = m_heap.get();
        } else {
            m_data = reinterpret_cast<T*>(m_inline);
            std::uninitialized_value_construct_n(m_data, n);
        }
    }
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    ~Slots() {
        if (!m_heap)
            std::destroy_n(m_data, m_n);
    }
    T& operator[](size_t i) { return m_data[i]; }
    T* data() { return m_data; }

private:
    alignas(T) unsigned char m_inline[kInlineArgs * sizeof(T)];
    std::unique_ptr<T[]> m_heap;
    T* m_data;
    size_t m_n;
};

int paramIndex(ObjectData* self, const MemberInfo* member, DISPID id, PyObject* kwname) {
    const QString name = toQString(kwname);
    if (member) {
        for (size_t p = 0; p < member->params.size(); ++p)
            if (member->params[p].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(p);
        return -1;
    }
    // Without type information: the object's own names.
    QString names[2] = {QString(), name};
    DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
    ComPtr<ITypeInfo> ti;
    (void)id;
    if (FAILED(self->dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids)))
        return -1;
    return int(ids[1]);
}

} // namespace

PyObject* invokeMember(ObjectData* self, DISPID id, uint16_t flags, const MemberInfo* member,
                       PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    if (!self->dispatch)
        return raiseComError(ErrorInfo{controlError(91), QString(), QString()});
    const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    const size_t count = size_t(nargs + nkw);
    Slots<Variant> vars(count);
    Slots<Variant> holders(count); // the values of tarv.ByRef arguments
    Slots<DISPID> named(nkw > 0 ? size_t(nkw) : 0);
    // rgvarg: named arguments first, then the positional ones right to left.
    for (Py_ssize_t i = 0; i < nargs + nkw; ++i) {
        PyObject* a = args[i];
        const size_t at = i < nargs ? count - 1 - size_t(i) : size_t(i - nargs);
        if (i >= nargs) {
            const int p = paramIndex(self, member, id, PyTuple_GET_ITEM(kwnames, i - nargs));
            if (p < 0)
                return raiseComError(ErrorInfo{
                    DISP_E_PARAMNOTFOUND,
                    QStringLiteral("%1 (%2)").arg(standardDescription(DISP_E_PARAMNOTFOUND),
                                                  toQString(PyTuple_GET_ITEM(kwnames, i - nargs))),
                    QString()});
            named[at] = p;
        }
        if (Py_IS_TYPE(a, &ByRefType)) {
            PyObject* v = reinterpret_cast<ByRefData*>(a)->value;
            if (!toVariant(v ? v : Py_None, &holders[at]))
                return nullptr;
            vars[at] = Variant::byRef(&holders[at]);
        } else if (!toVariant(a, &vars[at])) {
            return nullptr;
        } else if (member && vars[at].vt() == VT_I4) {
            // A small int goes in the parameter's own integer type, sparing a conversion.
            const size_t p = i < nargs ? size_t(i) : size_t(named[at]);
            const int32_t v = vars[at].toI4();
            if (p < member->params.size()) {
                const VarType t = member->params[p].type;
                if (t == VT_I2 && v >= INT16_MIN && v <= INT16_MAX)
                    vars[at] = Variant(int16_t(v));
                else if (t == VT_UI1 && v >= 0 && v <= 255)
                    vars[at] = Variant(uint8_t(v));
            }
        }
    }
    DISPPARAMS dp;
    dp.rgvarg = vars.data();
    dp.cArgs = uint32_t(count);
    dp.rgdispidNamedArgs = nkw ? named.data() : nullptr;
    dp.cNamedArgs = uint32_t(nkw);
    Variant result;
    EXCEPINFO excep;
    uint32_t argErr = 0;
    HRESULT hr;
    IDispatch* d = self->dispatch;
    Py_BEGIN_ALLOW_THREADS clearErrorInfo();
    hr = d->Invoke(id, IID_NULL, 0, flags, &dp, &result, &excep, &argErr);
    Py_END_ALLOW_THREADS if (FAILED(hr)) return raiseComError(errorFromInvoke(hr, excep));
    for (Py_ssize_t i = 0; i < nargs + nkw; ++i) {
        if (!Py_IS_TYPE(args[i], &ByRefType))
            continue;
        const size_t at = i < nargs ? count - 1 - size_t(i) : size_t(i - nargs);
        PyObject* v = fromVariant(holders[at]);
        if (!v)
            return nullptr;
        Py_XSETREF(reinterpret_cast<ByRefData*>(args[i])->value, v);
    }
    return fromVariant(result);
}

PyObject* getMember(ObjectData* self, PyObject* name) {
    const QString n = toQString(name);
    if (self->info) {
        // Another spelling of a member of the type library: Basic names ignore case.
        for (const MemberInfo& m : self->info->members)
            if (!m.hidden && m.name.compare(n, Qt::CaseInsensitive) == 0 && m.name != n) {
                PyObject* proper = fromQString(m.name);
                PyObject* r =
                    proper ? PyObject_GetAttr(reinterpret_cast<PyObject*>(self), proper) : nullptr;
                Py_XDECREF(proper);
                return r;
            }
    }
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(self->dispatch->GetIDsOfNames(IID_NULL, &n, 1, 0, &id)))
        return raiseComError(ErrorInfo{
            DISP_E_UNKNOWNNAME,
            QStringLiteral("%1: %2").arg(standardDescription(DISP_E_UNKNOWNNAME), n), QString()});
    // A name the object knows beyond its type information: late bound, a method of this object.
    PyObject* method = newMethod(nullptr, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, n,
                                 QStringLiteral("%1 (senza informazioni di tipo)").arg(n));
    if (!method)
        return nullptr;
    PyObject* bound = PyMethod_New(method, reinterpret_cast<PyObject*>(self));
    Py_DECREF(method);
    return bound;
}

int putMember(ObjectData* self, const QString& name, PyObject* value) {
    DISPID id = DISPID_UNKNOWN;
    if (!self->dispatch || FAILED(self->dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id))) {
        raiseComError(
            ErrorInfo{DISP_E_UNKNOWNNAME,
                      QStringLiteral("%1: %2").arg(standardDescription(DISP_E_UNKNOWNNAME), name),
                      QString()});
        return -1;
    }
    Variant v;
    if (!toVariant(value, &v))
        return -1;
    uint16_t flags = DISPATCH_PROPERTYPUT;
    if ((v.type() == VT_DISPATCH || value == Py_None) && self->info &&
        self->info->find(id, MemberKind::PropertyPutRef)) {
        flags = DISPATCH_PROPERTYPUTREF;
        if (value == Py_None)
            v = Variant(static_cast<IDispatch*>(nullptr));
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp;
    dp.rgvarg = &v;
    dp.cArgs = 1;
    dp.rgdispidNamedArgs = &put;
    dp.cNamedArgs = 1;
    EXCEPINFO excep;
    uint32_t argErr = 0;
    HRESULT hr;
    IDispatch* d = self->dispatch;
    Py_BEGIN_ALLOW_THREADS clearErrorInfo();
    hr = d->Invoke(id, IID_NULL, 0, flags, &dp, nullptr, &excep, &argErr);
    Py_END_ALLOW_THREADS if (FAILED(hr)) {
        raiseComError(errorFromInvoke(hr, excep));
        return -1;
    }
    return 0;
}

} // namespace tarv::python
