#pragma once

#include <QString>
#include <QWidget>

namespace qx::ui {

// The object name of the control with this id: "IDC_1224".
inline QString ControlName(int id) {
    return QStringLiteral("IDC_%1").arg(id);
}

// The control with this id inside `dialog`, or null.
template <typename T = QWidget>
T* FindControl(const QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

}  // namespace qx::ui
