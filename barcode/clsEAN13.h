#pragma once

#include "Symbology.h"

#include <array>

namespace tarv {

// EAN-13 from 12 digits (the check digit is computed) or 13 characters (the last one is the check
// digit as given). The module row includes both quiet zones.
class clsEAN13 : public Symbology {
public:
    clsEAN13();

    QString MessaggioErrore2() const { return m_messaggioErrore2; }
    void setMessaggioErrore2(const QString& value);

    // Check digit of a 12-digit code; -1 when a character is not a digit.
    static int cifraControllo(const QString& code);

    // Module row of 113 signs ("1" dark, "0" light) for a code; empty when no symbol can be made.
    QString Codifica(const QString& code) const;

    std::vector<BarElement> elementi() const override;

protected:
    QString rifiuto() const override;

private:
    std::array<QString, 10> m_parita;
    std::array<QString, 10> m_setA;
    std::array<QString, 10> m_setB;
    std::array<QString, 10> m_setC;
    QString m_messaggioErrore2 = QStringLiteral("LENGTH!");
};

} // namespace tarv
