#pragma once

#include "ImageSurface.h"

#include <QWidget>

namespace tarv {

// The picture area of the control: a widget that shows its persistent image and offers it as the
// drawing surface. The image follows the widget's size.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    ImageSurface& surface() { return m_surface; }
    const ImageSurface& surface() const { return m_surface; }

    // Gives the image the widget's current size. Hidden widgets get their resize events late, so
    // the control calls this itself before it draws.
    void syncSurface();

    // What the last drawing showed instead of a symbol ("" for a symbol).
    QString message;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ImageSurface m_surface;
};

} // namespace tarv
