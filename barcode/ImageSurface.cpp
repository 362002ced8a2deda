#include "ImageSurface.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tarv {

namespace {

bool sizeAllowed(QSize size) {
    return size.width() >= 0 && size.height() >= 0 &&
           qint64(size.width()) * qint64(size.height()) <= ImageSurface::kMaxPixels;
}

uchar grey(QRgb colour) {
    return uchar(qGray(colour));
}

bool cacheable(char16_t c) {
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF);
}

} // namespace

ImageSurface::ImageSurface(QSize size) : m_font(defaultFont()), m_metrics(m_font) {
    resize(size);
}

QFont ImageSurface::defaultFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    // Text is measured and drawn character by character; kerning would make the two disagree.
    font.setKerning(false);
    return font;
}

void ImageSurface::setFont(const QFont& font) {
    m_font = font;
    m_font.setKerning(false);
    m_metrics = QFontMetrics(m_font);
    m_glyphs = {};
}

const QImage& ImageSurface::image() const {
    flush();
    return m_image;
}

bool ImageSurface::resize(QSize size) {
    flush();
    size = size.expandedTo(QSize(0, 0));
    m_size = size;
    if (!sizeAllowed(size)) {
        m_image = QImage();
        return false;
    }
    QImage fresh;
    if (!size.isEmpty()) {
        fresh = QImage(size, QImage::Format_Grayscale8);
        if (fresh.isNull()) {
            m_image = QImage();
            return false;
        }
        fresh.fill(kBackground);
        if (!m_image.isNull()) {
            const int w = std::min(m_image.width(), size.width());
            const int h = std::min(m_image.height(), size.height());
            for (int y = 0; y < h; ++y)
                std::memcpy(fresh.scanLine(y), m_image.constScanLine(y), size_t(w));
        }
    }
    m_image = fresh;
    return true;
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
    m_clearPending = !m_image.isNull();
    m_bandTop = m_bandBottom = 0;
    m_currentX = 0;
    m_currentY = 0;
    return {};
}

BarcodeStatus ImageSurface::removePicture() {
    // The surface never carries a background picture of its own; there is nothing to drop.
    return usable() ? BarcodeStatus::success() : unusable();
}

int ImageSurface::textHeight(const QString&) const {
    return m_metrics.height();
}

void ImageSurface::setTextPosition(double x, double y) {
    m_currentX = x;
    m_currentY = y;
}

const ImageSurface::Glyph& ImageSurface::glyph(char16_t c) const {
    Glyph& g = m_glyphs[c & 0xFF];
    if (g.ready)
        return g;
    g.ready = true;
    const QChar ch(c);
    g.present = m_metrics.inFont(ch);
    if (!g.present)
        return g;
    g.advance = m_metrics.horizontalAdvance(ch);

    // Draw the character alone with room around it for overhangs, then keep the part it covers.
    const int pad = m_metrics.height();
    QImage canvas(g.advance + 2 * pad, m_metrics.height() + 2 * pad,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(m_font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(pad, pad + m_metrics.ascent()), QString(ch));
    }
    int x0 = canvas.width(), y0 = canvas.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (qAlpha(line[x]) != 0) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0)
        return g; // a blank such as the space: only its advance matters
    g.coverage = QImage(x1 - x0 + 1, y1 - y0 + 1, QImage::Format_Grayscale8);
    for (int y = y0; y <= y1; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        uchar* dst = g.coverage.scanLine(y - y0);
        for (int x = x0; x <= x1; ++x)
            dst[x - x0] = uchar(qAlpha(src[x]));
    }
    g.left = x0 - pad;
    g.top = y0 - pad;
    return g;
}

bool ImageSurface::cachedText(const QString& text) const {
    for (QChar c : text)
        if (!cacheable(c.unicode()) || !glyph(c.unicode()).present)
            return false;
    return true;
}

int ImageSurface::textWidth(const QString& text) const {
    if (!cachedText(text))
        return m_metrics.horizontalAdvance(text);
    qint64 width = 0;
    for (QChar c : text)
        width += glyph(c.unicode()).advance;
    return int(std::min<qint64>(width, std::numeric_limits<int>::max()));
}

void ImageSurface::drawCachedText(const QString& text) {
    const double left = std::floor(m_currentX + 0.5);
    const double top = std::floor(m_currentY + 0.5);
    if (std::abs(left) > 1e9 || std::abs(top) > 1e9)
        return;
    qint64 penX = qint64(left);
    const qint64 penY = qint64(top);
    const qint64 width = m_size.width();
    const qint64 height = m_size.height();
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (QChar c : text) {
        if (penX >= width)
            break;
        const Glyph& g = glyph(c.unicode());
        const QImage& cov = g.coverage;
        if (!cov.isNull()) {
            const qint64 gx = penX + g.left;
            const qint64 gy = penY + g.top;
            const qint64 xs = std::max<qint64>(0, -gx);
            const qint64 xe = std::min<qint64>(cov.width(), width - gx);
            const qint64 ys = std::max<qint64>(0, -gy);
            const qint64 ye = std::min<qint64>(cov.height(), height - gy);
            for (qint64 y = ys; y < ye; ++y) {
                const uchar* src = cov.constScanLine(int(y));
                uchar* dst = bits + (gy + y) * stride + gx;
                for (qint64 x = xs; x < xe; ++x) {
                    const unsigned a = src[x];
                    if (a != 0)
                        dst[x] = uchar((dst[x] * (255 - a) + kForeground * a + 127) / 255);
                }
            }
        }
        penX += g.advance;
    }
}

BarcodeStatus ImageSurface::print(const QString& text) {
    if (!usable())
        return unusable();
    if (m_image.isNull() || text.isEmpty())
        return {};
    flush();
    if (cachedText(text)) {
        drawCachedText(text);
        return {};
    }
    QPainter painter(&m_image);
    painter.setFont(m_font);
    painter.setPen(QColor(kForeground, kForeground, kForeground));
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
    const uchar value = grey(colour);

    if (m_clearPending) {
        if (m_bandTop == m_bandBottom) {
            m_bandTop = top;
            m_bandBottom = bottom;
            m_bandRow.assign(size_t(m_size.width()), kBackground);
        }
        if (top == m_bandTop && bottom == m_bandBottom) {
            std::memset(m_bandRow.data() + left, value, size_t(right - left));
            return {};
        }
        flush();
    }
    paintRows(top, bottom, left, right, value);
    return {};
}

void ImageSurface::paintRows(qint64 top, qint64 bottom, qint64 left, qint64 right, uchar value) {
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (qint64 y = top; y < bottom; ++y)
        std::memset(bits + y * stride + left, value, size_t(right - left));
}

void ImageSurface::flush() const {
    if (!m_clearPending)
        return;
    m_clearPending = false;
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const size_t rowBytes = size_t(m_size.width());
    const qint64 height = m_size.height();
    // Rows above and below the band are background; the band's rows are all alike, so the first
    // one is copied to the rest in doubling blocks.
    for (qint64 y = 0; y < m_bandTop; ++y)
        std::memset(bits + y * stride, kBackground, rowBytes);
    if (m_bandBottom > m_bandTop) {
        uchar* first = bits + m_bandTop * stride;
        std::memcpy(first, m_bandRow.data(), rowBytes);
        qint64 done = 1;
        const qint64 rows = m_bandBottom - m_bandTop;
        while (done < rows) {
            const qint64 n = std::min(done, rows - done);
            std::memcpy(first + done * stride, first,
                        size_t(n * stride - (stride - qsizetype(rowBytes))));
            done += n;
        }
    }
    for (qint64 y = std::max(m_bandBottom, qint64(0)); y < height; ++y)
        std::memset(bits + y * stride, kBackground, rowBytes);
}

} // namespace tarv
