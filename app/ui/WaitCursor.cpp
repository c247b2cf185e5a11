#include "app/ui/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace qx::ui {

WaitCursor::WaitCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // The thread is about to block: without a flush the cursor would only change once
    // the exchange is over.
    QGuiApplication::sync();
}

WaitCursor::~WaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace qx::ui
