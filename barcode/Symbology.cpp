#include "Symbology.h"

#include <cmath>

namespace tarv {

namespace {

// The bar height rule rounds halves to the even value, as the original runtime's conversion of a
// fractional pixel count did.
qint64 roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return qint64(floor) + 1;
    if (diff < 0.5)
        return qint64(floor);
    return (qint64(floor) % 2 == 0) ? qint64(floor) : qint64(floor) + 1;
}

// Integer division truncating toward zero, as the layout's "div".
qint64 div(qint64 a, qint64 b) {
    return a / b;
}

} // namespace

Symbology::Symbology(qint16 spessore, bool mostraCodice, qint32 allineamento)
    : m_mostraCodice(mostraCodice), m_allineamento(allineamento), m_spessore(spessore) {}

void Symbology::setCodice(const QString& value) {
    QString upper = value;
    for (QChar& c : upper)
        c = c.toUpper();
    m_codice = upper;
}

void Symbology::setMessaggioErrore(const QString& value) {
    m_messaggioErrore = value.isEmpty() ? QStringLiteral("SIZE!") : value;
}

qint64 Symbology::CalcolaLarghezza() const {
    return larghezza(elementi());
}

qint64 Symbology::larghezza(const std::vector<BarElement>& elements) const {
    qint64 modules = 0;
    for (const BarElement& e : elements)
        modules += e.modules;
    qint64 width = modules * m_spessore;
    if (m_allineamento == 0)
        width += kLeftMargin;
    return width;
}

qint64 Symbology::CalcolaAltezza() const {
    const qint64 sh = m_surface->innerHeight();
    if (!m_mostraCodice)
        return sh;
    return roundHalfEven(double(sh) - 1.5 * m_surface->textHeight(m_codice));
}

qint64 Symbology::bordoSinistro(qint64 width) const {
    const qint64 sw = m_surface->innerWidth();
    switch (m_allineamento) {
    case 0:
        return kLeftMargin;
    case 1:
        return div(sw - width, 2);
    case 2:
        return sw - width;
    default:
        return 0;
    }
}

BarcodeStatus Symbology::printCentred(const QString& text) {
    const qint64 tw = m_surface->textWidth(text);
    const qint64 th = m_surface->textHeight(text);
    m_surface->setTextPosition(double(div(m_surface->innerWidth() - tw, 2)),
                               double(div(m_surface->innerHeight() - th, 2)));
    return m_surface->print(text);
}

BarcodeStatus Symbology::DisegnaCodice(const QString& strBarcode) {
    if (!strBarcode.isEmpty())
        setCodice(strBarcode);
    m_mostrato.clear();
    if (!m_surface)
        return BarcodeStatus::failure(91, QStringLiteral("Variabile oggetto o variabile del blocco "
                                                         "With non impostata"));

    if (BarcodeStatus s = m_surface->setPixelUnit(); !s)
        return s;
    if (BarcodeStatus s = m_surface->clear(); !s)
        return s;
    if (BarcodeStatus s = m_surface->removePicture(); !s)
        return s;

    if (const QString refusal = rifiuto(); !refusal.isEmpty()) {
        m_mostrato = refusal;
        return printCentred(refusal);
    }

    const std::vector<BarElement> elements = elementi();
    const qint64 width = larghezza(elements);
    const qint64 height = CalcolaAltezza();
    const qint64 x0 = bordoSinistro(width);
    m_surface->setTextPosition(double(x0), 0);

    if (width > m_surface->innerWidth()) {
        m_mostrato = m_messaggioErrore;
        return printCentred(m_messaggioErrore);
    }

    qint64 x = x0;
    for (const BarElement& e : elements) {
        const qint64 w = qint64(e.modules) * m_spessore;
        const QRgb colour = e.dark ? DrawingSurface::kBlack : DrawingSurface::kWhite;
        if (BarcodeStatus s = m_surface->fillBox(x, 0, x + w, height, colour); !s)
            return s;
        x += w;
    }

    if (m_mostraCodice) {
        const qint64 tw = m_surface->textWidth(m_codice);
        const qint64 th = m_surface->textHeight(m_codice);
        m_surface->setTextPosition(double(x0 + div(width - tw, 2)), double(height) + th / 4.0);
        return m_surface->print(m_codice);
    }
    return {};
}

} // namespace tarv
