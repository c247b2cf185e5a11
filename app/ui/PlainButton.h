#pragma once

#include <QPushButton>
#include <QString>

namespace qx::ui {

// A button that is never the default button: in the parameter workbench Enter belongs to
// the cell being edited and to the filter, in the tuning panel to its number fields, and
// "Tune..." must not take it from OK.
inline QPushButton* PlainButton(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace qx::ui
