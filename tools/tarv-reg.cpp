// tarv-reg: the registry store from a shell, with the verbs of the Windows reg command.
#include "RegFile.h"
#include "RegistryStore.h"
#include "Services.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

using namespace tarv;

namespace {

const char* const kUsage = R"(Uso: tarv-reg VERBO ARGOMENTI

  query  CHIAVE [/v NOME | /ve]
  add    CHIAVE [/v NOME | /ve] [/t REG_SZ|REG_DWORD] [/d DATI] [/f]
  delete CHIAVE [/v NOME | /ve | /va] [/f]
  export CHIAVE FILE
  import FILE

CHIAVE si scrive con la radice, per intero o abbreviata (HKCU, HKLM, HKCR, HKU), e le
sottochiavi separate da "\", per esempio HKCU\Software\Orvid\Velinor.
/ve indica il valore predefinito, /va tutti i valori della chiave, /f non chiede conferma.
Il registro si trova in $TARV_WINDIR/registry; HKLM e HKCR, dove la macchina ha un
registro suo (/var/lib/tarv/registry/machine.db), in quello, che solo l'amministratore
modifica, se l'utente non ne ha uno proprio.

  --help     mostra questo aiuto
  --version  mostra la versione
)";

const QString kNotFound = QStringLiteral(
    "ERRORE: Impossibile trovare la chiave o il valore del Registro di sistema specificato.");

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    return 1;
}

void out(const QString& line) { std::printf("%s\n", line.toUtf8().constData()); }

struct Options {
    QString key;
    int32_t root = 0;
    QString path;
    bool hasValue = false;
    QString valueName;
    bool allValues = false;
    QString type = QStringLiteral("REG_SZ");
    QString data;
    bool force = false;
    QStringList rest;
};

bool parse(const QStringList& args, Options* o, QString* error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto next = [&](QString* target) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("ERRORE: manca il valore dopo %1").arg(a);
                return false;
            }
            *target = args[++i];
            return true;
        };
        const QString flag = a.toLower();
        if (flag == QLatin1String("/v")) {
            o->hasValue = true;
            if (!next(&o->valueName))
                return false;
        } else if (flag == QLatin1String("/ve")) {
            o->hasValue = true;
            o->valueName.clear();
        } else if (flag == QLatin1String("/va")) {
            o->allValues = true;
        } else if (flag == QLatin1String("/t")) {
            if (!next(&o->type))
                return false;
            o->type = o->type.toUpper();
        } else if (flag == QLatin1String("/d")) {
            if (!next(&o->data))
                return false;
        } else if (flag == QLatin1String("/f")) {
            o->force = true;
        } else if (a.startsWith(QLatin1Char('/')) && a.count(QLatin1Char('/')) == 1 && a.size() <= 4) {
            // Looks like a switch, not a path.
            *error = QStringLiteral("ERRORE: opzione sconosciuta %1").arg(a);
            return false;
        } else if (o->key.isEmpty()) {
            o->key = a;
        } else {
            o->rest << a;
        }
    }
    if (!o->key.isEmpty() && !RegistryStore::parseKeyName(o->key, &o->root, &o->path)) {
        *error = QStringLiteral("ERRORE: radice non valida in %1 (usare HKCU, HKLM, HKCR o HKU)").arg(o->key);
        return false;
    }
    return true;
}

QString typeName(uint32_t type) {
    switch (type) {
    case REG_SZ: return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ: return QStringLiteral("REG_EXPAND_SZ");
    case REG_BINARY: return QStringLiteral("REG_BINARY");
    case REG_DWORD: return QStringLiteral("REG_DWORD");
    case REG_MULTI_SZ: return QStringLiteral("REG_MULTI_SZ");
    default: return QStringLiteral("REG_NONE");
    }
}

QString dataText(uint32_t type, const QByteArray& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return RegistryStore::stringFromData(data);
    if (type == REG_DWORD)
        return QStringLiteral("0x%1").arg(RegistryStore::dwordFromData(data), 0, 16);
    return QString::fromLatin1(data.toHex()).toUpper();
}

QString fullName(const Options& o) {
    return RegistryStore::rootName(o.root) + (o.path.isEmpty() ? QString() : QLatin1Char('\\') + o.path);
}

// Store failures say why; a plain miss gets reg's own words.
int storeFailure(RegistryStore& store, RegStatus st) {
    if (st == RegStatus::StoreDamaged || st == RegStatus::AccessDenied)
        return fail(QStringLiteral("ERRORE: %1").arg(store.lastError().isEmpty()
                                                         ? QStringLiteral("accesso negato")
                                                         : store.lastError()));
    return fail(kNotFound);
}

bool confirm(const QString& question) {
    if (!isatty(STDIN_FILENO))
        return false;
    std::fprintf(stderr, "%s (S/N) ", question.toUtf8().constData());
    char line[16] = {};
    return std::fgets(line, sizeof line, stdin) && (line[0] == 's' || line[0] == 'S');
}

int query(RegistryStore& store, const Options& o) {
    if (const RegStatus st = store.openKey(o.root, o.path); st != RegStatus::Ok)
        return storeFailure(store, st);
    out(fullName(o));
    auto line = [](const QString& name, uint32_t type, const QByteArray& data) {
        out(QStringLiteral("    %1    %2    %3")
                .arg(name.isEmpty() ? QStringLiteral("(Default)") : name, typeName(type), dataText(type, data)));
    };
    uint32_t type = 0;
    QByteArray data;
    if (o.hasValue) {
        if (const RegStatus st = store.queryValue(o.root, o.path, o.valueName, &type, &data); st != RegStatus::Ok)
            return storeFailure(store, st);
        // Printed under the name as it was first written.
        QString stored = o.valueName;
        QString name;
        for (int i = 0; store.enumValue(o.root, o.path, i, &name) == RegStatus::Ok; ++i)
            if (name.compare(o.valueName, Qt::CaseInsensitive) == 0)
                stored = name;
        line(stored, type, data);
        return 0;
    }
    QString name;
    for (int i = 0; store.enumValue(o.root, o.path, i, &name, &type, &data) == RegStatus::Ok; ++i)
        line(name, type, data);
    out(QString());
    for (int i = 0; store.enumKey(o.root, o.path, i, &name) == RegStatus::Ok; ++i)
        out(fullName(o) + QLatin1Char('\\') + name);
    return 0;
}

int add(RegistryStore& store, const Options& o) {
    if (const RegStatus st = store.createKey(o.root, o.path); st != RegStatus::Ok)
        return storeFailure(store, st);
    if (!o.hasValue)
        return 0;
    QByteArray data;
    uint32_t type = 0;
    if (o.type == QLatin1String("REG_SZ")) {
        type = REG_SZ;
        data = RegistryStore::stringData(o.data);
    } else if (o.type == QLatin1String("REG_DWORD")) {
        bool ok = false;
        const QString d = o.data.trimmed();
        const qulonglong v = d.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? d.mid(2).toULongLong(&ok, 16)
                                                                                     : d.toULongLong(&ok, 10);
        if (!ok || v > 0xffffffffull)
            return fail(QStringLiteral("ERRORE: %1 non è un numero REG_DWORD valido (0-4294967295 o 0x...)").arg(o.data));
        type = REG_DWORD;
        data = RegistryStore::dwordData(uint32_t(v));
    } else {
        return fail(QStringLiteral("ERRORE: tipo non gestito %1 (REG_SZ o REG_DWORD)").arg(o.type));
    }
    if (!o.force && store.queryValue(o.root, o.path, o.valueName, nullptr, nullptr) == RegStatus::Ok &&
        !confirm(QStringLiteral("Il valore %1 esiste. Sovrascrivere?").arg(o.valueName.isEmpty() ? QStringLiteral("(Default)") : o.valueName)))
        return fail(QStringLiteral("ERRORE: il valore esiste già; usare /f per sovrascriverlo."));
    if (const RegStatus st = store.setValue(o.root, o.path, o.valueName, type, data); st != RegStatus::Ok)
        return storeFailure(store, st);
    return 0;
}

RegStatus deleteTree(RegistryStore& store, int32_t root, const QString& path) {
    QString child;
    while (store.enumKey(root, path, 0, &child) == RegStatus::Ok) {
        const RegStatus st = deleteTree(store, root, path + QLatin1Char('\\') + child);
        if (st != RegStatus::Ok)
            return st;
    }
    return store.deleteKey(root, path);
}

int remove(RegistryStore& store, const Options& o) {
    if (const RegStatus st = store.openKey(o.root, o.path); st != RegStatus::Ok)
        return storeFailure(store, st);
    const QString what = o.hasValue ? QStringLiteral("il valore %1 di %2").arg(o.valueName, fullName(o))
                         : o.allValues ? QStringLiteral("tutti i valori di %1").arg(fullName(o))
                                       : QStringLiteral("la chiave %1 con le sue sottochiavi").arg(fullName(o));
    if (!o.force && !confirm(QStringLiteral("Eliminare %1?").arg(what)))
        return fail(QStringLiteral("ERRORE: eliminazione non confermata; usare /f."));
    RegStatus st = RegStatus::Ok;
    if (o.hasValue) {
        st = store.deleteValue(o.root, o.path, o.valueName);
    } else if (o.allValues) {
        QString name;
        while (st == RegStatus::Ok && store.enumValue(o.root, o.path, 0, &name) == RegStatus::Ok)
            st = store.deleteValue(o.root, o.path, name);
    } else {
        st = o.path.isEmpty() ? RegStatus::AccessDenied : deleteTree(store, o.root, o.path);
    }
    return st == RegStatus::Ok ? 0 : storeFailure(store, st);
}

int exportKey(RegistryStore& store, const Options& o) {
    if (o.rest.size() != 1)
        return fail(QStringLiteral("ERRORE: export vuole una chiave e un file"));
    QByteArray text;
    QString error;
    if (!RegFile::exportKey(store, o.root, o.path, &text, &error))
        return fail(QStringLiteral("ERRORE: ") + error);
    QSaveFile file(o.rest[0]);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return fail(QStringLiteral("ERRORE: impossibile scrivere %1: %2").arg(o.rest[0], file.errorString()));
    return 0;
}

int importFile(RegistryStore& store, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("ERRORE: impossibile leggere %1: %2").arg(path, file.errorString()));
    QString error;
    if (!RegFile::importText(store, file.readAll(), &error))
        return fail(QStringLiteral("ERRORE: %1: %2").arg(path, error));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String("--version")) {
        std::printf("tarv-reg (Tarv) %s\n", TARV_VERSION);
        return 0;
    }
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("/?")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 1 : 0;
    }
    const QString verb = args.takeFirst().toLower();
    RegistryStore& store = *Services::current().registry;
    if (verb == QLatin1String("import")) {
        if (args.size() != 1)
            return fail(QStringLiteral("ERRORE: import vuole un file"));
        return importFile(store, args[0]);
    }
    Options o;
    QString error;
    if (!parse(args, &o, &error))
        return fail(error);
    if (o.key.isEmpty())
        return fail(QStringLiteral("ERRORE: manca la chiave. Vedere tarv-reg --help"));
    if (verb == QLatin1String("query"))
        return query(store, o);
    if (verb == QLatin1String("add"))
        return add(store, o);
    if (verb == QLatin1String("delete"))
        return remove(store, o);
    if (verb == QLatin1String("export"))
        return exportKey(store, o);
    return fail(QStringLiteral("ERRORE: verbo sconosciuto %1. Vedere tarv-reg --help").arg(verb));
}
