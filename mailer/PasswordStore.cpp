// libsecret comes first: its GLib headers name struct members "signals", which Qt's keyword
// macros would rewrite.
#include <libsecret/secret.h>

#include "PasswordStore.h"

#include "RegistryStore.h"
#include "Services.h"

#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A program started outside the desktop session (by cron, by a service) has neither
// DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR, while the user's session bus, where the keyring
// runs, is at /run/user/<uid>/bus for as long as the user is logged in (or lingers). Such a
// program is pointed at that bus when it is there and the user's own.
void findUserBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray path = "/run/user/" + QByteArray::number(getuid()) + "/bus";
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == getuid())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path);
}

// A Secret Service that is running now: its name has an owner on the session bus. Nothing is
// started to find out (no bus launched, no keyring daemon activated). When there is none,
// whyNot says why, for the user.
bool secretServiceRunning(QString* whyNot) {
    findUserBus();
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(QString::fromLocal8Bit(runtime + "/bus"))) {
            *whyNot = QStringLiteral("nessun bus di sessione (DBUS_SESSION_BUS_ADDRESS non è "
                                     "impostato e %1 non c'è)")
                          .arg(runtime.isEmpty() ? QStringLiteral("/run/user/%1/bus").arg(getuid())
                                                 : QString::fromLocal8Bit(runtime + "/bus"));
            return false;
        }
    }
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        *whyNot = address.isEmpty() ? QStringLiteral("il bus di sessione non risponde")
                                    : QStringLiteral("il bus di sessione %1 non risponde")
                                          .arg(QString::fromLocal8Bit(address));
        return false;
    }
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
    if (!owned)
        *whyNot = QStringLiteral("nessun portachiavi (Secret Service) è in esecuzione nella "
                                 "sessione");
    return owned;
}

bool secretServiceRunning() {
    QString ignored;
    return secretServiceRunning(&ignored);
}

// Whether the keyring holds this server's and user's password in a locked collection (the
// search does not unlock, so it sees what a lookup that could not unlock missed).
bool lockedInKeyring(const QByteArray& server, const QByteArray& user) {
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    if (!service)
        return false;
    GHashTable* attributes = secret_attributes_build(schema(), "server", server.constData(),
                                                     "utente", user.constData(), nullptr);
    GList* items = secret_service_search_sync(service, schema(), attributes, SECRET_SEARCH_ALL,
                                              nullptr, nullptr);
    bool locked = false;
    for (GList* i = items; i; i = i->next)
        locked = locked || secret_item_get_locked(SECRET_ITEM(i->data));
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
    g_object_unref(service);
    return locked;
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
    keepOutOfCoreDumps();
    const QString name = privateName(server, user);
    if (place() == Place::SecretService) {
        GError* failure = nullptr;
        const QByteArray label =
            QStringLiteral("Velinor: %1 su %2").arg(user, serverKey(server)).toUtf8();
        QByteArray secret = password.toUtf8();
        const bool stored = secret_password_store_sync(
            schema(), SECRET_COLLECTION_DEFAULT, label.constData(), secret.constData(), nullptr,
            &failure, "server", serverKey(server).toUtf8().constData(), "utente",
            user.toUtf8().constData(), nullptr);
        wipeSecret(secret);
        if (!stored) {
            *error = QStringLiteral("il portachiavi non ha salvato la password: %1")
                         .arg(takeError(failure));
            return false;
        }
        registry().deletePrivateValue(name);
        return true;
    }
    QByteArray secret = password.toUtf8();
    const RegStatus status = registry().setPrivateValue(name, secret);
    wipeSecret(secret);
    if (status != RegStatus::Ok) {
        *error = QStringLiteral("il registro non ha salvato la password: %1")
                     .arg(registry().lastError());
        return false;
    }
    return true;
}

std::optional<QString> PasswordStore::password(const QString& server, const QString& user,
                                               QString* error) {
    keepOutOfCoreDumps();
    m_keyringNotAsked.clear();
    if (secretServiceRunning(&m_keyringNotAsked)) {
        const QByteArray serverText = serverKey(server).toUtf8(), userText = user.toUtf8();
        GError* failure = nullptr;
        // A locked keyring is unlocked here when it can be (the desktop asks for its password).
        gchar* secret = secret_password_lookup_sync(schema(), nullptr, &failure, "server",
                                                    serverText.constData(), "utente",
                                                    userText.constData(), nullptr);
        if (secret) {
            const QString text = QString::fromUtf8(secret);
            secret_password_free(secret); // wipes it
            return text;
        }
        if (failure) {
            *error = QStringLiteral("il portachiavi non ha dato la password: %1")
                         .arg(takeError(failure));
            return std::nullopt;
        }
        if (lockedInKeyring(serverText, userText)) {
            *error = QStringLiteral("il portachiavi del desktop è bloccato e non è stato "
                                    "sbloccato: sbloccarlo (accedendo alla sessione del desktop "
                                    "o dalla sua finestra di sblocco) e riprovare");
            return std::nullopt;
        }
    }
    // Also where a password saved before the desktop had a secret store still lies.
    QByteArray data;
    if (registry().privateValue(privateName(server, user), &data) == RegStatus::Ok) {
        const QString text = QString::fromUtf8(data);
        wipeSecret(data);
        return text;
    }
    return std::nullopt;
}

void PasswordStore::keepOutOfCoreDumps() {
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer reads the ending process through ptrace, which a process that may not be
    // dumped refuses to users without CAP_SYS_PTRACE; its check runs after this handler.
    static const bool restoredAtExit =
        std::atexit([] { ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0); }) == 0;
    Q_UNUSED(restoredAtExit);
#endif
}

namespace {

// The whole block of a text the caller alone holds: the room before and after its characters
// may hold older ones (capacity() counts the whole block, data() starts after the room before).
template <typename Text> void wipeBlock(Text& text) {
    if (text.capacity() > 0 && text.isDetached()) {
        auto* begin = text.data() - text.data_ptr().freeSpaceAtBegin();
        explicit_bzero(begin, size_t(text.capacity()) * sizeof(*begin));
    }
    text.clear();
}

} // namespace

void wipeSecret(QByteArray& bytes) {
    wipeBlock(bytes);
}

void wipeSecret(QString& text) {
    wipeBlock(text);
}

bool PasswordStore::hasPassword(const QString& server, const QString& user) {
    QString ignored;
    return password(server, user, &ignored).has_value();
}

} // namespace tarv
