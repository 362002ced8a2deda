#include "ProgramSettings.h"

#include "AppSettings.h"
#include "RegistryStore.h"
#include "Services.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tarv {

ProgramSettings::ProgramSettings(RegistryStore* store) : m_regitro(store), m_store(store) {
    m_regitro.storesValueType = true;
}

QString ProgramSettings::storeDamage() const {
    RegistryStore& store = m_store ? *m_store : *Services::current().registry;
    if (store.openKey(RegistryObject::CURRENT_USER, QString()) != RegStatus::StoreDamaged ||
        !store.lastFailureIsDamage())
        return QString();
    return store.lastError();
}

void ProgramSettings::Registra_Percorso() {
    m_regitro.MasterKey = RegistryObject::LOCAL_MACHINE;
    if (!Esiste_Chiave(QLatin1String(kAppPathsKey)))
        Crea_Chiave(QLatin1String(kAppPathsKey));
    m_regitro.Key = QLatin1String(kAppPathsKey);
    const QString exe = QCoreApplication::instance()
                            ? QCoreApplication::applicationFilePath()
                            : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    // Without the rights to write there nothing is reported: start-up goes on.
    Scrivi_Impostazione(QString(), exe);
    Scrivi_Impostazione(QStringLiteral("Path"), QFileInfo(exe).absolutePath());
}

void ProgramSettings::Apri_Chiave_Programma() {
    m_regitro.MasterKey = RegistryObject::CURRENT_USER;
    m_regitro.Key = QLatin1String(kProgramKey);
}

QString ProgramSettings::Leggi_Impostazione(const QString& name) {
    m_regitro.NameValue = name;
    return m_regitro.RGetString() ? m_regitro.STRValue : QString();
}

bool ProgramSettings::Scrivi_Impostazione(const QString& name, const QString& text) {
    m_regitro.NameValue = name;
    m_regitro.STRValue = text;
    return m_regitro.RSetString();
}

bool ProgramSettings::Crea_Chiave(const QString& keyPath) {
    m_regitro.Key = keyPath;
    return m_regitro.RCreateKey();
}

bool ProgramSettings::Esiste_Chiave(const QString& keyPath) {
    m_regitro.Key = keyPath;
    return m_regitro.RGetKey();
}

QString ProgramSettings::largeAttachmentSetting() {
    return AppSettings::get(QStringLiteral("Velinor"), QStringLiteral("Settaggi"),
                            QStringLiteral("Troppo grande"));
}

bool ProgramSettings::saveLargeAttachmentSetting(const QString& value) {
    return AppSettings::save(QStringLiteral("Velinor"), QStringLiteral("Settaggi"),
                             QStringLiteral("Troppo grande"), value);
}

} // namespace tarv
