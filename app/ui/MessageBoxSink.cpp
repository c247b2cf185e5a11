#include "app/ui/MessageBoxSink.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QMessageBox>

namespace qx::ui {

MessageBoxSink::MessageBoxSink(QWidget* owner) : owner_(owner) {}

std::unique_ptr<QMessageBox> MessageBoxSink::MakeBox(QWidget* owner, const QString& text,
                                                     const QString& title, const QString& detail) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    if (!detail.isEmpty()) {
        box->setTextFormat(Qt::PlainText);
        box->setInformativeText(detail);
    }
    box->setDefaultButton(QMessageBox::Ok);
    // The OK button sits in the middle, as on the drive engineers' usual desktop.
    if (auto* buttons = box->findChild<QDialogButtonBox*>()) {
        buttons->setCenterButtons(true);
    }
    return box;
}

void MessageBoxSink::show(const std::string& text, const std::string& title) {
    showDetailed(text, title, {});
}

void MessageBoxSink::showDetailed(const std::string& text, const std::string& title,
                                  const std::string& detail) {
    auto box = MakeBox(owner_.data(), QString::fromStdString(text), QString::fromStdString(title),
                       QString::fromStdString(detail));
    // A box raised in the middle of a blocking exchange must not look busy.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    box->exec();
    if (busy) {
        QGuiApplication::restoreOverrideCursor();
    }
}

}  // namespace qx::ui
