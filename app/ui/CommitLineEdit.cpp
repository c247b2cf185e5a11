#include "app/ui/CommitLineEdit.h"

#include <QFocusEvent>

namespace qx::ui {

CommitLineEdit::CommitLineEdit(QWidget* parent) : QLineEdit(parent) {}

void CommitLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason) {
        emit committed();
    }
}

}  // namespace qx::ui
