#pragma once

#include <QFrame>
#include <QImage>

namespace qx::ui {

// A framed control that shows a finished picture: the plot of a capture window or the
// preview of a capture setting dialog. The picture is composed elsewhere and handed over
// whole, so the control never shows a half-drawn one.
class ImageFrame : public QFrame {
    Q_OBJECT

  public:
    explicit ImageFrame(QWidget* parent = nullptr);

    // The picture for the client area (inside the frame), copied in one piece.
    void setImage(QImage image);
    const QImage& image() const { return image_; }
    // Hands the picture over, to be painted over and set again (it shows none until then).
    QImage takeImage() { return std::move(image_); }
    // The client area's size: what a picture for this control measures.
    QSize clientSize() const { return contentsRect().size(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

}  // namespace qx::ui
