#include "PictureBox.h"

#include <QPaintEvent>
#include <QPainter>

namespace tarv {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), m_surface(QSize(0, 0)) {
    // The image covers the whole area, so nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    syncSurface();
}

void PictureBox::syncSurface() {
    if (m_surface.size() != size())
        m_surface.resize(size());
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncSurface();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (m_surface.image().isNull())
        painter.fillRect(event->rect(), Qt::white);
    else
        painter.drawImage(event->rect().topLeft(), m_surface.image(), event->rect());
}

} // namespace tarv
