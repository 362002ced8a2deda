#include "MemberTable.h"

#include "Conversions.h"

namespace tarv::com {

int MemberInfo::requiredCount() const {
    int n = 0;
    for (const ParamInfo& p : params)
        if (!p.optional)
            ++n;
    return n;
}

MemberInfo eventMember(const char* name, DISPID id, std::vector<ParamInfo> params) {
    MemberInfo m;
    m.name = QString::fromUtf8(name);
    m.dispid = id;
    m.params = std::move(params);
    return m;
}

std::vector<const MemberInfo*> InterfaceInfo::find(DISPID id) const {
    std::vector<const MemberInfo*> out;
    for (const MemberInfo& m : members)
        if (m.dispid == id)
            out.push_back(&m);
    return out;
}

const MemberInfo* InterfaceInfo::find(DISPID id, MemberKind kind) const {
    for (const MemberInfo& m : members)
        if (m.dispid == id && m.kind == kind)
            return &m;
    return nullptr;
}

DISPID InterfaceInfo::idOfName(const QString& name) const {
    for (const MemberInfo& m : members)
        if (m.name.compare(name, Qt::CaseInsensitive) == 0)
            return m.dispid;
    return DISPID_UNKNOWN;
}

QStringList InterfaceInfo::problems() const {
    QStringList out;
    int position = 0;
    for (const MemberInfo& m : members) {
        const QString who = name + QLatin1Char('.') + m.name;
        if (dual) {
            if (!m.invoke)
                out << who + QStringLiteral(": no function behind the member");
            if (m.slot != 7 + position)
                out << who + QStringLiteral(": slot %1, expected %2").arg(m.slot).arg(7 + position);
            if (m.signature.size() != m.params.size())
                out << who + QStringLiteral(": %1 parameters in the table, %2 in the function")
                                 .arg(m.params.size())
                                 .arg(m.signature.size());
            else
                for (size_t i = 0; i < m.params.size(); ++i) {
                    const bool refOk =
                        m.kind == MemberKind::PropertyPut || m.kind == MemberKind::PropertyPutRef
                            ? true
                            : m.signature[i].second == m.params[i].byRef;
                    if (m.signature[i].first != m.params[i].type || !refOk)
                        out << who + QStringLiteral(
                                         ": parameter %1 is %2 in the table, %3 in the function")
                                         .arg(m.params[i].name)
                                         .arg(Variant::typeName(m.params[i].type |
                                                                (m.params[i].byRef ? VT_BYREF : 0)))
                                         .arg(Variant::typeName(
                                             m.signature[i].first |
                                             (m.signature[i].second ? VT_BYREF : 0)));
                }
            if (m.signatureResult != m.result)
                out << who + QStringLiteral(": result %1 in the table, %2 in the function")
                                 .arg(Variant::typeName(m.result))
                                 .arg(Variant::typeName(m.signatureResult));
        }
        bool seenOptional = false;
        for (const ParamInfo& p : m.params) {
            if (p.optional) {
                seenOptional = true;
                Variant converted;
                if (p.defaultValue.isMissing()
                        ? p.type != VT_VARIANT
                        : FAILED(changeType(p.defaultValue, p.type, &converted)))
                    out << who +
                               QStringLiteral(": default of %1 does not fit its type").arg(p.name);
            } else if (seenOptional) {
                out << who +
                           QStringLiteral(": required %1 after an optional parameter").arg(p.name);
            }
        }
        ++position;
    }
    return out;
}

const ClassInfo* TypeLibInfo::findClass(REFCLSID clsid) const {
    for (const ClassInfo* c : classes)
        if (c->clsid == clsid)
            return c;
    return nullptr;
}

bool TypeLibInfo::enumValue(const QString& member, int32_t* value) const {
    for (const EnumInfo& e : enums)
        for (const auto& [name, v] : e.members)
            if (name.compare(member, Qt::CaseInsensitive) == 0) {
                *value = v;
                return true;
            }
    return false;
}

} // namespace tarv::com
