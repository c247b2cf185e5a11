#pragma once

#include <QPushButton>
#include <QString>

namespace qx::ui {

// A button of the parameter workbench's windows. Enter belongs to the cell being edited
// and to the filter, never to a button, so none is a default button.
inline QPushButton* WorkbenchButton(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace qx::ui
