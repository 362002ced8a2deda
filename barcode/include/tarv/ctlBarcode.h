#pragma once

#include "tarv/BarcodeStatus.h"

#include <QImage>
#include <QString>
#include <QWidget>

namespace tarv {

class PictureBox;

// The barcode control: one Code 39, Code 128 or EAN-13 symbol, with or without its text, drawn on
// the picture area pctBarcode that always covers the control. Every property put stores the value
// and redraws at once; so do resizing, showing and painting the control.
//
// A put returns the outcome of the drawing it caused: the value is stored either way, and a
// drawing that failed reports the error's number and description (lastStatus() keeps it too, for
// hosts that go through the property system).
class ctlBarcode : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qint16 TipoCodice READ TipoCodice WRITE setTipoCodice)
    Q_PROPERTY(QString Codice READ Codice WRITE setCodice)
    Q_PROPERTY(bool MostraTesto READ MostraTesto WRITE setMostraTesto)
    Q_PROPERTY(qint16 Allineamento READ Allineamento WRITE setAllineamento)
    Q_PROPERTY(qint16 Spessore READ Spessore WRITE setSpessore)

public:
    // Code types of TipoCodice; any other value draws nothing and leaves the last image.
    enum : qint16 { Code39 = 0, Code128 = 1, EAN13 = 2 };
    // Values of Allineamento; any other value places the symbol at x = 0.
    enum : qint16 { LeftWithMargin = 0, Centred = 1, Right = 2 };

    explicit ctlBarcode(QWidget* parent = nullptr);
    ~ctlBarcode() override;

    qint16 TipoCodice() const { return qint16(m_tipoCodice); }
    BarcodeStatus setTipoCodice(qint16 intNewValue);

    QString Codice() const { return m_codice; }
    BarcodeStatus setCodice(const QString& strNewValue);

    bool MostraTesto() const { return m_mostraTesto; }
    BarcodeStatus setMostraTesto(bool blnNewValue);

    qint16 Allineamento() const { return m_allineamento; }
    BarcodeStatus setAllineamento(qint16 intNewValue);

    // Module width in pixels. A new control reads 0 and draws 1-pixel modules; a value below 1
    // is stored as 1.
    qint16 Spessore() const { return m_spessore; }
    BarcodeStatus setSpessore(qint16 intValue);

    // Redraws the symbol from the five properties.
    BarcodeStatus DisegnaCodice();

    // The picture area and what it shows.
    QWidget* pctBarcode() const;
    QImage picture() const;
    // What the picture shows instead of a symbol: "SIZE!" when the symbol does not fit the width,
    // "LENGTH!" for an EAN-13 code of a wrong length; empty when it shows the symbol.
    QString messaggioMostrato() const;

    BarcodeStatus lastStatus() const { return m_lastStatus; }

    // The 16 x 15 toolbox bitmap of the control.
    static QImage toolboxBitmap();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void placePicture();
    void redrawFromNotification();

    PictureBox* m_picture;
    qint32 m_tipoCodice = 0;
    QString m_codice;
    bool m_mostraTesto = false;
    qint16 m_allineamento = 0;
    qint16 m_spessore = 0;
    BarcodeStatus m_lastStatus;
};

} // namespace tarv
