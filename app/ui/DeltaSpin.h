#pragma once

#include <QAbstractSpinBox>

namespace qx::ui {

// A pair of up-down arrows without a buddy edit. It holds no value: each click (or
// auto-repeat step) reports a delta, -1 for the up arrow and +1 for the down arrow, as a
// spin with the inverted default range does. Handlers therefore do
// `value -= delta * step`, so the up arrow raises the value. It never takes the focus,
// so an edit being typed in keeps it (and does not commit) while the arrows are used.
class DeltaSpin : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit DeltaSpin(QWidget* parent = nullptr);

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void deltaPos(int delta);

  protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qx::ui
