#pragma once

#include <QString>

namespace tarv {

class RegistryStore;

// Per-user application settings (application title, section, key), kept in the registry store
// under HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<title>\<section>.
class AppSettings {
public:
    static QString key(const QString& appName, const QString& section);
    static QString get(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString(), RegistryStore* store = nullptr);
    static bool save(const QString& appName, const QString& section, const QString& key,
                     const QString& value, RegistryStore* store = nullptr);
};

} // namespace tarv
