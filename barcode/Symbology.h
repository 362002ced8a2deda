#pragma once

#include "DrawingSurface.h"

#include <QString>

#include <vector>

namespace tarv {

// One bar or space of a symbol: its width in modules and whether it is dark.
struct BarElement {
    int modules;
    bool dark;
};

// The layout frame shared by the symbologies: the members through which the control drives them,
// and the drawing around each symbology's own element sequence (fit test, alignment, bar height,
// text under the bars, the error texts).
class Symbology {
public:
    virtual ~Symbology() = default;

    QString Codice() const { return m_codice; }
    // Stores the data in upper case, character by character, so its length never changes.
    void setCodice(const QString& value);

    bool MostraCodice() const { return m_mostraCodice; }
    void setMostraCodice(bool value) { m_mostraCodice = value; }

    qint32 Allineamento() const { return m_allineamento; }
    void setAllineamento(qint32 value) { m_allineamento = value; }

    qint16 Spessore() const { return m_spessore; }
    // A module narrower than one pixel cannot be drawn: values below 1 are stored as 1.
    void setSpessore(qint16 value) { m_spessore = value < 1 ? qint16(1) : value; }

    DrawingSurface* pctDestinazione() const { return m_surface; }
    void setPctDestinazione(DrawingSurface* surface) { m_surface = surface; }

    QString MessaggioErrore() const { return m_messaggioErrore; }
    void setMessaggioErrore(const QString& value);

    // Draws the symbol of Codice (of strBarcode first, when that is not empty) on pctDestinazione.
    BarcodeStatus DisegnaCodice(const QString& strBarcode = QString());
    // The text the last drawing showed instead of the symbol (MessaggioErrore, or EAN-13's
    // MessaggioErrore2); empty when it drew the symbol.
    QString messaggioMostrato() const { return m_mostrato; }

    // The symbol's bars and spaces, left to right.
    virtual std::vector<BarElement> elementi() const = 0;

    // W: the symbol width in pixels, the 30-pixel margin of alignment 0 included. Wide enough that
    // no data length or module width can wrap it.
    qint64 CalcolaLarghezza() const;
    // H: the bar height in pixels.
    qint64 CalcolaAltezza() const;
    // x0: the left edge of the symbol for the alignment.
    qint64 bordoSinistro(qint64 width) const;

    static constexpr int kLeftMargin = 30;

protected:
    Symbology(qint16 spessore, bool mostraCodice, qint32 allineamento);

    // A symbology that refuses the data before any layout (EAN-13 for a wrong length) returns the
    // text to show instead; the empty string lets the drawing go on.
    virtual QString rifiuto() const { return {}; }

    BarcodeStatus printCentred(const QString& text);
    qint64 larghezza(const std::vector<BarElement>& elements) const;

private:
    QString m_codice;
    bool m_mostraCodice;
    qint32 m_allineamento;
    qint16 m_spessore;
    DrawingSurface* m_surface = nullptr;
    QString m_messaggioErrore = QStringLiteral("SIZE!");
    QString m_mostrato;
};

} // namespace tarv
