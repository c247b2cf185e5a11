#include "capture/ui/ImageFrame.h"

#include <QPainter>

namespace qx::ui {

ImageFrame::ImageFrame(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void ImageFrame::setImage(QImage image) {
    image_ = std::move(image);
    update(contentsRect());
}

void ImageFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (image_.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect client = contentsRect();
    // Centred, as the picture has the client's size when it was made for this control.
    const QPoint at(client.left() + (client.width() - image_.width()) / 2,
                    client.top() + (client.height() - image_.height()) / 2);
    painter.drawImage(at, image_);
}

}  // namespace qx::ui
