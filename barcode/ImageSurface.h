#pragma once

#include "DrawingSurface.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QSize>

namespace tarv {

// A drawing surface over an image in memory: the picture area's persistent image. It keeps what
// was drawn until the next clear, so whoever shows it can repaint it at any time.
class ImageSurface : public DrawingSurface {
public:
    // Largest image the surface will allocate (pixels). A bigger area cannot be drawn on, and
    // every drawing reports out of memory rather than asking the system for gigabytes.
    static constexpr qint64 kMaxPixels = qint64(1) << 26;

    explicit ImageSurface(QSize size = QSize(0, 0));

    // Gives the surface a new size. What was drawn stays in the part that still fits; a new area
    // is background. Returns false when the size is beyond what the surface can hold.
    bool resize(QSize size);
    QSize size() const { return m_size; }
    bool usable() const;

    const QImage& image() const { return m_image; }

    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    QColor backgroundColor() const { return m_background; }
    QColor foregroundColor() const { return m_foreground; }

    BarcodeStatus setPixelUnit() override;
    BarcodeStatus clear() override;
    BarcodeStatus removePicture() override;
    int innerWidth() const override { return m_size.width(); }
    int innerHeight() const override { return m_size.height(); }
    int textWidth(const QString& text) const override;
    int textHeight(const QString& text) const override;
    void setTextPosition(double x, double y) override;
    double currentX() const override { return m_currentX; }
    double currentY() const override { return m_currentY; }
    BarcodeStatus print(const QString& text) override;
    BarcodeStatus fillBox(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb colour) override;

    // The font a new surface uses: a sans-serif face at a fixed pixel size, so that an image
    // looks the same whatever the screen's resolution.
    static QFont defaultFont();

private:
    BarcodeStatus unusable() const;

    QSize m_size;
    QImage m_image;
    QFont m_font;
    QFontMetrics m_metrics;
    QColor m_background = Qt::white;
    QColor m_foreground = Qt::black;
    double m_currentX = 0;
    double m_currentY = 0;
};

} // namespace tarv
