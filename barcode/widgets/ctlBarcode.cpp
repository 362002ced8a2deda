#include "tarv/ctlBarcode.h"

#include "PictureBox.h"
#include "cls3Of9.h"
#include "clsCode128.h"
#include "clsEAN13.h"

#include <QDebug>
#include <QResizeEvent>

#include <memory>

// Resources of a library linked statically have to be registered by hand; for the shared
// library this is a no-op after the first time.
static void initBarcodeResources() {
    Q_INIT_RESOURCE(TarvBarcode);
}

namespace tarv {

ctlBarcode::ctlBarcode(QWidget* parent) : QWidget(parent), m_picture(new PictureBox(this)) {
    m_picture->setObjectName(QStringLiteral("pctBarcode"));
    placePicture();
    // The creation sequence goes through the puts, so each step draws (the first one still as
    // Code 39). Spessore is never set and stays 0, which the symbologies draw as 1 pixel.
    setCodice(QStringLiteral("BARCODE"));
    setAllineamento(0);
    setMostraTesto(true);
    setTipoCodice(1);
}

ctlBarcode::~ctlBarcode() = default;

BarcodeStatus ctlBarcode::setTipoCodice(qint16 intNewValue) {
    m_tipoCodice = intNewValue;
    return DisegnaCodice();
}

BarcodeStatus ctlBarcode::setCodice(const QString& strNewValue) {
    m_codice = strNewValue;
    return DisegnaCodice();
}

BarcodeStatus ctlBarcode::setMostraTesto(bool blnNewValue) {
    m_mostraTesto = blnNewValue;
    return DisegnaCodice();
}

BarcodeStatus ctlBarcode::setAllineamento(qint16 intNewValue) {
    m_allineamento = intNewValue;
    return DisegnaCodice();
}

BarcodeStatus ctlBarcode::setSpessore(qint16 intValue) {
    m_spessore = intValue < 1 ? qint16(1) : intValue;
    return DisegnaCodice();
}

BarcodeStatus ctlBarcode::DisegnaCodice() {
    std::unique_ptr<Symbology> symbology;
    switch (m_tipoCodice) {
    case Code39:
        symbology = std::make_unique<cls3Of9>();
        break;
    case Code128:
        symbology = std::make_unique<clsCode128>();
        break;
    case EAN13:
        symbology = std::make_unique<clsEAN13>();
        break;
    default:
        // No symbology: the surface keeps its last image.
        m_lastStatus = {};
        return m_lastStatus;
    }
    placePicture();
    symbology->setCodice(m_codice);
    symbology->setMostraCodice(m_mostraTesto);
    symbology->setAllineamento(m_allineamento);
    symbology->setSpessore(m_spessore);
    symbology->setPctDestinazione(&m_picture->surface());
    m_lastStatus = symbology->DisegnaCodice();
    m_picture->message = symbology->messaggioMostrato();
    m_picture->update();
    return m_lastStatus;
}

QWidget* ctlBarcode::pctBarcode() const {
    return m_picture;
}

QString ctlBarcode::messaggioMostrato() const {
    return m_picture->message;
}

QImage ctlBarcode::picture() const {
    return m_picture->surface().image();
}

QImage ctlBarcode::toolboxBitmap() {
    initBarcodeResources();
    return QImage(QStringLiteral(":/tarv/barcode/toolbox.bmp"));
}

void ctlBarcode::placePicture() {
    if (m_picture->geometry() != rect())
        m_picture->setGeometry(rect());
    m_picture->syncSurface();
}

void ctlBarcode::redrawFromNotification() {
    // Nobody called us here, so a failed drawing goes to the default error reporting.
    if (const BarcodeStatus s = DisegnaCodice(); !s)
        qWarning().noquote()
            << QStringLiteral("TarvBarcode: errore %1: %2").arg(s.number).arg(s.description);
}

void ctlBarcode::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePicture();
    redrawFromNotification();
}

void ctlBarcode::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placePicture();
    redrawFromNotification();
}

void ctlBarcode::paintEvent(QPaintEvent*) {
    redrawFromNotification();
}

} // namespace tarv
