#pragma once

#include "DrawingSurface.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QSize>

#include <array>
#include <vector>

namespace tarv {

// A drawing surface over an image in memory: the picture area's persistent image. It keeps what
// was drawn until the next clear, so whoever shows it can repaint it at any time. The picture is
// black and white (8-bit grey, for the grey edges of the text), white background, black text.
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

    // The picture as drawn so far.
    const QImage& image() const;

    QFont font() const { return m_font; }
    void setFont(const QFont& font);

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

    static constexpr uchar kBackground = 255;
    static constexpr uchar kForeground = 0;

private:
    // A character of the font, drawn once and kept as its coverage (0 none to 255 full) with its
    // place relative to the top-left corner of the text position and the pen's advance.
    struct Glyph {
        bool ready = false;
        bool present = false;
        QImage coverage;
        int left = 0;
        int top = 0;
        int advance = 0;
    };

    BarcodeStatus unusable() const;
    void paintRows(qint64 top, qint64 bottom, qint64 left, qint64 right, uchar value);
    // Writes out what a clear and the boxes after it left pending.
    void flush() const;
    // Text made only of characters the glyph cache holds is drawn and measured glyph by glyph;
    // any other text goes through the full text layout.
    bool cachedText(const QString& text) const;
    const Glyph& glyph(char16_t c) const;
    void drawCachedText(const QString& text);

    QSize m_size;
    // Mutable because the pending rows are written out when the picture is read.
    mutable QImage m_image;
    QFont m_font;
    QFontMetrics m_metrics;
    double m_currentX = 0;
    double m_currentY = 0;

    // A clear is written out only when needed: until then the image is all background except
    // for one band of rows that the boxes painted since the clear all span. The bars of a symbol
    // are such boxes, so every pixel of the picture is written once instead of twice.
    mutable bool m_clearPending = false;
    qint64 m_bandTop = 0;
    qint64 m_bandBottom = 0;
    std::vector<uchar> m_bandRow;

    // Latin-1 characters U+0020 to U+00FF, drawn on first use.
    mutable std::array<Glyph, 256> m_glyphs;
};

} // namespace tarv
