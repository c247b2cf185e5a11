#include "app/ui/CommitLineEdit.h"

#include <QFocusEvent>

namespace qx::ui {

int CommitLineEdit::holds_ = 0;
int CommitLineEdit::leaving_ = 0;

CommitLineEdit::Hold::Hold() {
    ++holds_;
}

CommitLineEdit::Hold::~Hold() {
    --holds_;
}

bool CommitLineEdit::Leaving() {
    return leaving_ > 0;
}

CommitLineEdit::CommitLineEdit(QWidget* parent) : QLineEdit(parent) {}

void CommitLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || holds_ > 0) {
        return;
    }
    ++leaving_;
    emit committed();
    --leaving_;
}

}  // namespace qx::ui
