#include "app/ui/DeltaSpin.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace qx::ui {

DeltaSpin::DeltaSpin(QWidget* parent) : QAbstractSpinBox(parent) {
    setFocusPolicy(Qt::NoFocus);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    // Only the arrows are meant to be seen; the base class's edit stays empty and inert.
    lineEdit()->setReadOnly(true);
    lineEdit()->setFocusPolicy(Qt::NoFocus);
    lineEdit()->setVisible(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DeltaSpin::stepBy(int steps) {
    emit deltaPos(-steps);
}

QSize DeltaSpin::sizeHint() const {
    return QSize(16, 22);
}

QSize DeltaSpin::minimumSizeHint() const {
    return QSize(12, 16);
}

QAbstractSpinBox::StepEnabled DeltaSpin::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

void DeltaSpin::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

void DeltaSpin::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            stepBy(1);
            break;
        case Qt::Key_Down:
            stepBy(-1);
            break;
        default:
            event->ignore();
            break;
    }
}

}  // namespace qx::ui
