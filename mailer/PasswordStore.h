#pragma once

#include <QByteArray>
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
    // Why the last password() did not ask the desktop's secret store, in Italian; empty when it
    // did (or was never called).
    QString keyringNotAsked() const { return m_keyringNotAsked; }

    // From now on the process leaves no core dump (a crash would write the password into it)
    // and no other process of the user may read its memory. Called by whatever is about to
    // hold a password: reading one, saving one, asking the user for one.
    static void keepOutOfCoreDumps();

private:
    RegistryStore& registry() const;
    RegistryStore* m_registry;
    QString m_keyringNotAsked;
};

// Overwrites a text that held a password, or a form of it, and empties it. A text that shares
// its characters with another copy is only emptied: the holder of the last copy wipes it.
void wipeSecret(QByteArray& bytes);
void wipeSecret(QString& text);

} // namespace tarv
