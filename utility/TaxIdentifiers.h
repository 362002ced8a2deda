#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace tarv {

// The checks of the two Italian tax identifiers behind the Contabili class. Both verify the
// check character only; neither looks at what the other positions mean.
class TaxIdentifiers {
public:
    // The VAT number (Partita IVA) check. True when it passes; otherwise the system beep
    // sounds, the message box "Partita IVA errata!" titled "Controllo Partita IVA" (exclamation
    // icon, OK) is shown through the process-wide message boxes, and the answer is False.
    static bool Controlla_PI(const QString& piva);

    // The silent verdict of Controlla_PI. Positions 1 to 10 are summed, the last character is
    // the check digit, and the length is not tested: a position beyond the end counts as the
    // digit 0 (so "" and "0" pass); any other character that is not 0-9 fails.
    static bool partitaIvaPasses(QStringView piva);

    // The tax code (Codice Fiscale) check: exactly 16 characters whose 16th, in upper case,
    // is the check letter of the first 15. Silent.
    static bool CheckCodFiscale(const QString& cfis);

    // The check letter of the first 15 characters (A-Z). Letters count without regard to
    // case; a character that is neither a digit nor a letter A-Z adds the value of the previous
    // character of its pass (odd or even positions), or 0 when it is the first of the pass.
    // Fewer than 15 characters give a null QChar.
    static QChar codiceFiscaleCheckLetter(QStringView first15);
};

} // namespace tarv
