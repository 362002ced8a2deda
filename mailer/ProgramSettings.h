#pragma once

#include "RegistryObject.h"

#include <QString>

namespace tarv {

// The mailer's settings module: every registry access of the program goes through its one
// Regitro, which keeps its root and key between calls. Registra_Percorso leaves the object on
// the machine's App Paths key, so Apri_Chiave_Programma must follow before any setting is read
// or written.
class ProgramSettings {
public:
    static constexpr const char* kProgramKey = "SOFTWARE\\Orvid\\Velinor";
    static constexpr const char* kAppPathsKey =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velinor.exe";

    explicit ProgramSettings(RegistryStore* store = nullptr);

    void Registra_Percorso();
    void Apri_Chiave_Programma();
    QString Leggi_Impostazione(const QString& name);
    bool Scrivi_Impostazione(const QString& name, const QString& text);
    bool Crea_Chiave(const QString& keyPath);
    bool Esiste_Chiave(const QString& keyPath);

    RegistryObject& Regitro() { return m_regitro; }

    // Why the user's registry store cannot hold the settings (a damaged file, named), or
    // empty when it can.
    QString storeDamage() const;

    // The large-attachment question ("Troppo grande" under the title Velinor, section Settaggi).
    static QString largeAttachmentSetting();
    static bool saveLargeAttachmentSetting(const QString& value);

private:
    RegistryObject m_regitro;
    RegistryStore* m_store;
};

} // namespace tarv
