#include "app/ui/AppIcon.h"

#include <QDir>

// The resources live in a static library: their registration must be referenced from
// code that is linked, or the linker drops it.
static void InitQuendrixResources() {
    Q_INIT_RESOURCE(quendrix);
}

namespace qx::ui {

QIcon AppIcon() {
    static const bool initialised = [] {
        InitQuendrixResources();
        return true;
    }();
    (void)initialised;
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/quendrix-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace qx::ui
