#pragma once

#include "DrawingSurface.h"

#include <QList>

namespace tarv::test {

// A surface of a given size with fixed text metrics (every character kCharWidth wide, every line
// kLineHeight high) that keeps a log of what is drawn on it.
class RecordingSurface : public DrawingSurface {
public:
    static constexpr int kCharWidth = 7;

    struct Box {
        qint64 x1, y1, x2, y2;
        QRgb colour;
    };
    struct Text {
        double x, y;
        QString text;
    };

    RecordingSurface(int width, int height, int lineHeight = 13)
        : m_width(width), m_height(height), m_lineHeight(lineHeight) {}

    BarcodeStatus setPixelUnit() override { return {}; }
    BarcodeStatus clear() override {
        ++clears;
        boxes.clear();
        texts.clear();
        m_x = m_y = 0;
        return {};
    }
    BarcodeStatus removePicture() override { return {}; }
    int innerWidth() const override { return m_width; }
    int innerHeight() const override { return m_height; }
    int textWidth(const QString& text) const override { return int(text.size()) * kCharWidth; }
    int textHeight(const QString&) const override { return m_lineHeight; }
    void setTextPosition(double x, double y) override {
        m_x = x;
        m_y = y;
    }
    double currentX() const override { return m_x; }
    double currentY() const override { return m_y; }
    BarcodeStatus print(const QString& text) override {
        texts.append({m_x, m_y, text});
        return {};
    }
    BarcodeStatus fillBox(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb colour) override {
        boxes.append({x1, y1, x2, y2, colour});
        return {};
    }

    // Widths of the boxes drawn, in modules of s pixels, with dark ones written as negative.
    QList<int> runs(int s) const {
        QList<int> out;
        for (const Box& b : boxes)
            out.append(int((b.x2 - b.x1) / s) * (b.colour == kBlack ? -1 : 1));
        return out;
    }

    int clears = 0;
    QList<Box> boxes;
    QList<Text> texts;

private:
    int m_width;
    int m_height;
    int m_lineHeight;
    double m_x = 0;
    double m_y = 0;
};

} // namespace tarv::test
