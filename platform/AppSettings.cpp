#include "AppSettings.h"

#include "RegistryStore.h"
#include "Services.h"

namespace tarv {

namespace {
RegistryStore& storeOr(RegistryStore* store) {
    return store ? *store : *Services::current().registry;
}
} // namespace

QString AppSettings::key(const QString& appName, const QString& section) {
    return QStringLiteral("Software\\VB and VBA Program Settings\\%1\\%2").arg(appName, section);
}

QString AppSettings::get(const QString& appName, const QString& section, const QString& name,
                         const QString& defaultValue, RegistryStore* store) {
    uint32_t type = 0;
    QByteArray data;
    if (storeOr(store).queryValue(RegistryStore::CurrentUser, key(appName, section), name, &type,
                                  &data) != RegStatus::Ok ||
        type != REG_SZ)
        return defaultValue;
    return RegistryStore::stringFromData(data);
}

bool AppSettings::save(const QString& appName, const QString& section, const QString& name,
                       const QString& value, RegistryStore* store) {
    RegistryStore& reg = storeOr(store);
    const QString path = key(appName, section);
    return reg.createKey(RegistryStore::CurrentUser, path) == RegStatus::Ok &&
           reg.setValue(RegistryStore::CurrentUser, path, name, REG_SZ,
                        RegistryStore::stringData(value)) == RegStatus::Ok;
}

} // namespace tarv
