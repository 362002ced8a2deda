// libsecret comes first: its GLib headers name struct members "signals", which Qt's keyword
// macros would rewrite.
#include <libsecret/secret.h>

#include "PasswordStore.h"

#include "RegistryStore.h"
#include "Services.h"

#include <QFileInfo>

namespace tarv {

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {"it.orvid.Velinor.Password",
                                   SECRET_SCHEMA_NONE,
                                   {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"utente", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}}};
    return &s;
}

QString serverKey(const QString& server) {
    return server.trimmed().toLower();
}

QString privateName(const QString& server, const QString& user) {
    return QStringLiteral("Velinor\\Password\\%1\\%2").arg(serverKey(server), user);
}

QString takeError(GError* error) {
    const QString text = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return text;
}

// A Secret Service that is running now: its name has an owner on the session bus. Nothing is
// started to find out (no bus launched, no keyring daemon activated).
bool secretServiceRunning() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(QString::fromLocal8Bit(runtime + "/bus")))
            return false;
    }
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    g_object_unref(bus);
    return owned;
}

} // namespace

PasswordStore::PasswordStore(RegistryStore* registry) : m_registry(registry) {}

RegistryStore& PasswordStore::registry() const {
    return m_registry ? *m_registry : *Services::current().registry;
}

PasswordStore::Place PasswordStore::place() const {
    return secretServiceRunning() ? Place::SecretService : Place::Registry;
}

QString PasswordStore::describe(Place place) {
    return place == Place::SecretService
               ? QStringLiteral("nel portachiavi del desktop (Secret Service)")
               : QStringLiteral("nel registro personale dell'utente, leggibile solo da lui");
}

bool PasswordStore::save(const QString& server, const QString& user, const QString& password,
                         QString* error) {
    const QString name = privateName(server, user);
    if (place() == Place::SecretService) {
        GError* failure = nullptr;
        const QByteArray label =
            QStringLiteral("Velinor: %1 su %2").arg(user, serverKey(server)).toUtf8();
        const QByteArray secret = password.toUtf8();
        const bool stored = secret_password_store_sync(
            schema(), SECRET_COLLECTION_DEFAULT, label.constData(), secret.constData(), nullptr,
            &failure, "server", serverKey(server).toUtf8().constData(), "utente",
            user.toUtf8().constData(), nullptr);
        if (!stored) {
            *error = QStringLiteral("il portachiavi non ha salvato la password: %1")
                         .arg(takeError(failure));
            return false;
        }
        registry().deletePrivateValue(name);
        return true;
    }
    if (registry().setPrivateValue(name, password.toUtf8()) != RegStatus::Ok) {
        *error = QStringLiteral("il registro non ha salvato la password: %1")
                     .arg(registry().lastError());
        return false;
    }
    return true;
}

std::optional<QString> PasswordStore::password(const QString& server, const QString& user,
                                               QString* error) {
    if (secretServiceRunning()) {
        GError* failure = nullptr;
        gchar* secret = secret_password_lookup_sync(schema(), nullptr, &failure, "server",
                                                    serverKey(server).toUtf8().constData(),
                                                    "utente", user.toUtf8().constData(), nullptr);
        if (secret) {
            const QString text = QString::fromUtf8(secret);
            secret_password_free(secret);
            return text;
        }
        if (failure) {
            *error = QStringLiteral("il portachiavi non ha dato la password: %1")
                         .arg(takeError(failure));
            return std::nullopt;
        }
    }
    // Also where a password saved before the desktop had a secret store still lies.
    QByteArray data;
    if (registry().privateValue(privateName(server, user), &data) == RegStatus::Ok)
        return QString::fromUtf8(data);
    return std::nullopt;
}

bool PasswordStore::hasPassword(const QString& server, const QString& user) {
    QString ignored;
    return password(server, user, &ignored).has_value();
}

} // namespace tarv
