#include "RegistryObject.h"

#include "RegistryStore.h"
#include "Services.h"

namespace tarv {

namespace {

qsizetype characters(const QString& name) {
    return QStringView(name).toUcs4().size();
}

} // namespace

RegistryObject::RegistryObject(RegistryStore* store) : m_store(store) {}

RegistryStore& RegistryObject::store() {
    return m_store ? *m_store : *Services::current().registry;
}

void RegistryObject::Inizializza_registro(int32_t ramo, const QString& chiave) {
    MasterKey = ramo;
    if (!chiave.isEmpty())
        Key = chiave;
}

bool RegistryObject::Controlla_Chiave() {
    return store().openKey(MasterKey, Key) == RegStatus::Ok;
}

bool RegistryObject::Scrivi_Chiave() {
    if (store().openKey(MasterKey, Key) == RegStatus::Ok)
        return true;
    return store().createKey(MasterKey, Key) == RegStatus::Ok;
}

bool RegistryObject::Elimina_Chiave() {
    return store().deleteKey(MasterKey, Key) == RegStatus::Ok;
}

bool RegistryObject::Scrivi_Stringa(const QString& nome, const QString& valore) {
    return store().setValue(MasterKey, Key, nome, REG_SZ, RegistryStore::stringData(valore)) ==
           RegStatus::Ok;
}

bool RegistryObject::readString(const QString& nome) {
    uint32_t type = 0;
    QByteArray data;
    if (store().queryValue(MasterKey, Key, nome, &type, &data) != RegStatus::Ok || type != REG_SZ)
        return false;
    STRValue = RegistryStore::stringFromData(data);
    return true;
}

QString RegistryObject::Leggi_Stringa(const QString& nome) {
    return readString(nome) ? STRValue : QString();
}

bool RegistryObject::RGetString() { return readString(NameValue); }

bool RegistryObject::Scrivi_DWORD(const QString& nome, int16_t valore) {
    const uint32_t extended = uint32_t(int32_t(valore));
    return store().setValue(MasterKey, Key, nome, REG_DWORD, RegistryStore::dwordData(extended)) ==
           RegStatus::Ok;
}

bool RegistryObject::RSetDWord() {
    return store().setValue(MasterKey, Key, NameValue, REG_DWORD,
                            RegistryStore::dwordData(uint32_t(DWordValue))) == RegStatus::Ok;
}

bool RegistryObject::readDWord(const QString& nome) {
    uint32_t type = 0;
    QByteArray data;
    if (store().queryValue(MasterKey, Key, nome, &type, &data) != RegStatus::Ok ||
        type != REG_DWORD || data.size() > 4)
        return false;
    DWordValue = int32_t(RegistryStore::dwordFromData(data));
    STRValue = hexText(DWordValue);
    return true;
}

QString RegistryObject::Leggi_DWORD(const QString& nome) {
    return readDWord(nome) ? STRValue : QString();
}

bool RegistryObject::RGetDWord() { return readDWord(NameValue); }

bool RegistryObject::Elimina_Stringa(const QString& nome) {
    return store().deleteValue(MasterKey, Key, nome) == RegStatus::Ok;
}

bool RegistryObject::REnumValue(int32_t lCurIdx) {
    QString name;
    uint32_t type = 0;
    if (store().enumValue(MasterKey, Key, lCurIdx, &name, &type) != RegStatus::Ok)
        return false;
    // A name that does not fit the caller's buffer fails at its index ("more data"). The
    // buffers hold characters, one per character of the name whatever its encoding here.
    if (characters(name) >= kValueNameBuffer)
        return false;
    NameValue = name;
    Tipo = storesValueType ? int32_t(type) : 0;
    return true;
}

bool RegistryObject::REnumKey(int32_t idx) {
    QString name;
    if (store().enumKey(MasterKey, Key, idx, &name) != RegStatus::Ok)
        return false;
    if (characters(name) >= kKeyNameBuffer)
        return false;
    NameKey = name;
    return true;
}

QStringList RegistryObject::Elenca_Valori() {
    QStringList names;
    for (int32_t i = 0; REnumValue(i); ++i)
        names << NameValue;
    return names;
}

QStringList RegistryObject::Elenca_Chiavi() {
    QStringList names;
    for (int32_t i = 0; REnumKey(i); ++i)
        names << NameKey;
    return names;
}

QString RegistryObject::hexText(int32_t value) {
    return QString::number(uint32_t(value), 16).toUpper();
}

} // namespace tarv
