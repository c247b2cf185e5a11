#pragma once

#include <QIcon>

namespace qx::ui {

// The application's icon (icon 128 of the main window and the About dialog).
QIcon AppIcon();

}  // namespace qx::ui
