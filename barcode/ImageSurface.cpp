#include "ImageSurface.h"

#include <QPainter>

#include <algorithm>

namespace tarv {

namespace {

QImage makeImage(QSize size, const QColor& background) {
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (!image.isNull())
        image.fill(background);
    return image;
}

bool sizeAllowed(QSize size) {
    return size.width() >= 0 && size.height() >= 0 &&
           qint64(size.width()) * qint64(size.height()) <= ImageSurface::kMaxPixels;
}

} // namespace

ImageSurface::ImageSurface(QSize size) : m_font(defaultFont()), m_metrics(m_font) {
    resize(size);
}

QFont ImageSurface::defaultFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    return font;
}

void ImageSurface::setFont(const QFont& font) {
    m_font = font;
    m_metrics = QFontMetrics(m_font);
}

bool ImageSurface::resize(QSize size) {
    size = size.expandedTo(QSize(0, 0));
    m_size = size;
    if (!sizeAllowed(size)) {
        m_image = QImage();
        return false;
    }
    QImage fresh = makeImage(size, m_background);
    if (!fresh.isNull() && !m_image.isNull()) {
        QPainter painter(&fresh);
        painter.drawImage(0, 0, m_image);
    }
    m_image = fresh;
    return usable();
}

bool ImageSurface::usable() const {
    return m_size.isEmpty() || !m_image.isNull();
}

BarcodeStatus ImageSurface::unusable() const {
    return BarcodeStatus::failure(kErrOutOfMemory, QStringLiteral("Memoria esaurita"));
}

BarcodeStatus ImageSurface::setPixelUnit() {
    return usable() ? BarcodeStatus::success() : unusable();
}

BarcodeStatus ImageSurface::clear() {
    if (!usable())
        return unusable();
    if (!m_image.isNull())
        m_image.fill(m_background);
    m_currentX = 0;
    m_currentY = 0;
    return {};
}

BarcodeStatus ImageSurface::removePicture() {
    // The surface never carries a background picture of its own; there is nothing to drop.
    return usable() ? BarcodeStatus::success() : unusable();
}

int ImageSurface::textWidth(const QString& text) const {
    return m_metrics.horizontalAdvance(text);
}

int ImageSurface::textHeight(const QString&) const {
    return m_metrics.height();
}

void ImageSurface::setTextPosition(double x, double y) {
    m_currentX = x;
    m_currentY = y;
}

BarcodeStatus ImageSurface::print(const QString& text) {
    if (!usable())
        return unusable();
    if (m_image.isNull() || text.isEmpty())
        return {};
    QPainter painter(&m_image);
    painter.setFont(m_font);
    painter.setPen(m_foreground);
    painter.drawText(QPointF(m_currentX, m_currentY + m_metrics.ascent()), text);
    return {};
}

BarcodeStatus ImageSurface::fillBox(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb colour) {
    if (!usable())
        return unusable();
    if (m_image.isNull())
        return {};
    const qint64 left = std::clamp<qint64>(std::min(x1, x2), 0, m_size.width());
    const qint64 right = std::clamp<qint64>(std::max(x1, x2), 0, m_size.width());
    const qint64 top = std::clamp<qint64>(std::min(y1, y2), 0, m_size.height());
    const qint64 bottom = std::clamp<qint64>(std::max(y1, y2), 0, m_size.height());
    if (left >= right || top >= bottom)
        return {};
    const QRgb pixel = 0xFF000000u | colour;
    for (qint64 y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(int(y)));
        std::fill(line + left, line + right, pixel);
    }
    return {};
}

} // namespace tarv
