#pragma once

#include <QString>

#include <optional>

namespace tarv {

class RegistryStore;

// The login password of a user on a server. It is kept in the desktop's secret store through
// the Secret Service when one is running on the session bus, else as a private value of the
// user's registry store (outside the key tree: no registry read, query or export shows it; the
// file is the user's alone). A password belongs to its server as well as its user, so that a
// server typed in for one send never receives the password kept for another.
class PasswordStore {
public:
    enum class Place { SecretService, Registry };

    // nullptr: the process-wide registry store.
    explicit PasswordStore(RegistryStore* registry = nullptr);

    // Where save() puts a password now.
    Place place() const;
    // Italian words for a place, for the user ("nel portachiavi del desktop", ...).
    static QString describe(Place place);

    // Stores the password, replacing any earlier one for the same server and user; a copy
    // left in the registry store goes once the secret store holds it. False with `error`.
    bool save(const QString& server, const QString& user, const QString& password, QString* error);
    // The stored password; no value when there is none. `error` is set when a store could not
    // be asked.
    std::optional<QString> password(const QString& server, const QString& user, QString* error);
    bool hasPassword(const QString& server, const QString& user);

private:
    RegistryStore& registry() const;
    RegistryStore* m_registry;
};

} // namespace tarv
