#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tarv {

class RegistryStore;

// The registry object shared by the mailer (as Regitro) and the library (as GestioneReg):
// a root and a key path set by the caller, and one operation at a time on that key. No key
// is held open between calls: every operation opens the key afresh and closes it. Failures
// show only as false or an empty string; the fields an operation would set keep their old
// values when it fails.
class RegistryObject {
public:
    // The predefined roots (enumeration TipiDiRami).
    enum TipiDiRami : int32_t {
        CLASSES_ROOT = int32_t(0x80000000u),
        CURRENT_USER = int32_t(0x80000001u),
        LOCAL_MACHINE = int32_t(0x80000002u),
        USERS = int32_t(0x80000003u),
    };

    // The store defaults to the process-wide one.
    explicit RegistryObject(RegistryStore* store = nullptr);

    int32_t MasterKey = 0;
    QString Key;
    QString NameValue;
    QString NameKey;
    QString STRValue;
    int32_t DWordValue = 0;
    int32_t Tipo = 0;

    // Library face: arguments in, results out.
    void Inizializza_registro(int32_t ramo = LOCAL_MACHINE, const QString& chiave = QString());
    bool Controlla_Chiave();
    bool Scrivi_Chiave();
    bool Elimina_Chiave();
    bool Scrivi_Stringa(const QString& nome, const QString& valore);
    QString Leggi_Stringa(const QString& nome);
    // The 16-bit value is sign-extended: -1 is stored as FFFFFFFF.
    bool Scrivi_DWORD(const QString& nome, int16_t valore);
    QString Leggi_DWORD(const QString& nome);
    bool Elimina_Stringa(const QString& nome);
    bool REnumValue(int32_t lCurIdx);
    bool REnumKey(int32_t idx);
    QStringList Elenca_Valori();
    QStringList Elenca_Chiavi();

    // Mailer face: names and data from the fields, results in the fields.
    bool RGetKey() { return Controlla_Chiave(); }
    bool RCreateKey() { return Scrivi_Chiave(); }
    bool RDelKey() { return Elimina_Chiave(); }
    bool RDelValue() { return Elimina_Stringa(NameValue); }
    bool RSetString() { return Scrivi_Stringa(NameValue, STRValue); }
    bool RGetString();
    bool RSetDWord();
    bool RGetDWord();

    // Whether REnumValue stores the value's type in Tipo (the mailer does; the library
    // always stores 0).
    bool storesValueType = false;

    // Upper-case hexadecimal without leading zeros; negatives as 8 digits.
    static QString hexText(int32_t value);

    // The longest value name and subkey name an enumeration can return.
    static constexpr int kValueNameBuffer = 2000;
    static constexpr int kKeyNameBuffer = 255;

private:
    bool readString(const QString& nome);
    bool readDWord(const QString& nome);
    RegistryStore& store();
    RegistryStore* m_store;
};

} // namespace tarv
