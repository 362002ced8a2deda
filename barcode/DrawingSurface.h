#pragma once

#include "tarv/BarcodeStatus.h"

#include <QRgb>
#include <QString>

namespace tarv {

// The operations a symbology draws through. Coordinates are pixels measured from the top-left
// corner of the inner area, x to the right, y downward. Operations that can fail return the
// failure; a symbology stops drawing at the first one and hands it on.
class DrawingSurface {
public:
    static constexpr QRgb kBlack = 0x000000;
    static constexpr QRgb kWhite = 0xFFFFFF;

    virtual ~DrawingSurface() = default;

    // The surface always measures in pixels; the call stays for symmetry with the hosts that ask.
    virtual BarcodeStatus setPixelUnit() = 0;
    // Fills the inner area with the background colour and moves the text position to (0, 0).
    virtual BarcodeStatus clear() = 0;
    virtual BarcodeStatus removePicture() = 0;

    virtual int innerWidth() const = 0;
    virtual int innerHeight() const = 0;

    // Size of a string in the surface's current font, in whole pixels. Text is one line.
    virtual int textWidth(const QString& text) const = 0;
    virtual int textHeight(const QString& text) const = 0;

    virtual void setTextPosition(double x, double y) = 0;
    virtual double currentX() const = 0;
    virtual double currentY() const = 0;

    // Draws text with its top-left corner at the text position, in the foreground colour.
    virtual BarcodeStatus print(const QString& text) = 0;

    // Paints the box between the corners (x1, y1) and (x2, y2) in one colour; the far column and
    // row (x2, y2) stay unpainted so that boxes laid side by side neither overlap nor leave gaps.
    // Any part outside the inner area is clipped; no coordinate is narrowed on the way.
    virtual BarcodeStatus fillBox(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb colour) = 0;
};

} // namespace tarv
